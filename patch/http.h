// Blocking HTTPS GET operations for the worker threads, and the status line they report to.
#pragma once

#include <stdint.h>

// Returns the whole 200 response body plus a terminating zero (caller frees with free()),
// or null when the request fails, the status is not 200 or the body is cut short.
char* HttpFetchText(const char* url, int* length);

// Streams a 200 response into localPath. A negative expectedSize means the size is unknown.
bool HttpDownloadFile(const char* url, const char* localPath, int64_t expectedSize);

// Replaces the status line; a negative percent leaves the progress bar as it is.
void SetStatus(const char* text, int percent);

#ifdef SKH_TESTING
#include <string>
#include <vector>
struct StatusRecord {
    std::string text;
    int percent;
};
// Every SetStatus call in order, so tests can follow the run step by step.
std::vector<StatusRecord> TakeStatusLog();
// Benchmarks switch the record off so that it does not count as the launcher's memory.
void SetStatusRecording(bool on);
#endif
