// What the test build links in place of the launcher's seams, and how tests reach it.
#pragma once

#include <string>
#include <vector>

// Points kFullBaseUrl and kShareBaseUrl at root ("https://localhost:PORT"). Until a test
// calls it they follow SKH_TEST_PATCH_ROOT, or the build's own patch host.
void SetPatchRootForTests(const char* root);

// Every SetStatus call since the last call, in order; benchmarks switch the record off so that
// it does not count as the launcher's memory.
struct StatusRecord {
    std::string text;
    int percent;
};
std::vector<StatusRecord> TakeStatusLog();
void SetStatusRecording(bool on);

// Every pause asked for before a retry since the last call, in milliseconds as asked.
std::vector<int> TakeRetryPauses();

// Every GDI object the painting made, and every successful deletion.
struct GdiTally {
    long created, deleted;
};
GdiTally ReadGdiTally();
