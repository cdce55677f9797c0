// Blocking HTTPS GET operations for the worker threads: a whole body into memory, or a body
// streamed into a file.
#pragma once

#include <stdint.h>
#include <stdlib.h>

// A fetched body: text holds the bytes and one terminating zero (the body itself may contain
// zero bytes, which readers of the text stop at), or null when the fetch failed. Owns text.
struct FetchedText {
    char* text = nullptr;
    int length = 0;
    FetchedText() = default;
    FetchedText(FetchedText&& other) noexcept : text(other.text), length(other.length) {
        other.text = nullptr;
    }
    ~FetchedText() { free(text); }
    FetchedText(const FetchedText&) = delete;
    FetchedText& operator=(const FetchedText&) = delete;
    FetchedText& operator=(FetchedText&&) = delete;
    // Null, or a body of zero bytes: the control files treat both as nothing received.
    bool IsEmpty() const { return text == nullptr || length == 0; }
};

// The whole 200 response body; no text when the request fails, the status is not 200 or the
// body is cut short.
FetchedText HttpFetchText(const char* url);

// Streams a 200 response into localPath. A negative expectedSize means the size is unknown.
// With an expectedDigest (40 lowercase digits) the body is hashed as it arrives, and a file
// that fails, its SHA-1 differing or its body cut short, is deleted.
bool HttpDownloadFile(const char* url, const char* localPath, int64_t expectedSize,
                      const char* expectedDigest = nullptr);
