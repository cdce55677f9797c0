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
    FetchedText& operator=(FetchedText&& other) noexcept {
        char* held = text;
        text = other.text;
        length = other.length;
        other.text = held;
        return *this;
    }
    // Null, or a body of zero bytes: the control files treat both as nothing received.
    bool IsEmpty() const { return text == nullptr || length == 0; }
};

// The largest body of unknown size a download takes (the launcher offer of an unsigned
// release is the only one); it is many times a launcher's size.
constexpr int64_t kUnlistedBodyLimit = 64 << 20;
// A download larger than this shows its megabytes as they arrive, and resumes a cut body.
constexpr int64_t kLargeDownloadSize = 8 << 20;

// Transient failures (a reset, a cut or stalled body, 5xx, 408, 429) are tried again up to
// kRetryLimit times, each retry logged; any other failure is final at once.

// The whole 200 response body of at most limit bytes; no text when the request fails, the
// status is not 200, the body is cut short or it is longer than limit.
FetchedText HttpFetchText(const char* url, size_t limit);

// Downloads a 200 response into a part file beside localPath and, once it is whole and checked,
// puts it in place of localPath in one step; the old file is never touched before. A negative
// expectedSize means the size is unknown (then at most kUnlistedBodyLimit bytes are taken).
// With an expectedDigest of 40 lowercase digits the body is hashed as it arrives and kept only
// when its SHA-1 matches. A body above kLargeDownloadSize that breaks off resumes from what the
// part file holds.
bool HttpDownloadFile(const char* url, const char* localPath, int64_t expectedSize,
                      const char* expectedDigest = nullptr);

// A GET whose body its caller reads piece by piece; its handles close when it goes.
struct HttpStream {
    void* session = nullptr;
    void* request = nullptr;
    const char* url = nullptr;  // for the log; the caller's text, which outlives the stream
    int64_t announced = -1;     // the Content-Length, or -1 without one
    int64_t received = 0;
    HttpStream() = default;
    ~HttpStream();
    HttpStream(const HttpStream&) = delete;
    HttpStream& operator=(const HttpStream&) = delete;
};

// Opens a plain GET of url; false (logged) unless the answer is 200.
bool HttpOpenStream(const char* url, HttpStream* out);

enum class HttpRangeAnswer { Failed, Range, WholeFile };

// Opens a GET of bytes first..last of the file at url, which has totalSize bytes. Range: a 206
// whose Content-Range names exactly those bytes of that size; WholeFile: a 200, from a host
// that ignores ranges; Failed (logged) for anything else, a 206 of other bytes included.
HttpRangeAnswer HttpOpenRange(const char* url, int64_t first, int64_t last, int64_t totalSize,
                              HttpStream* out);

// Reads the next piece of the body into buffer; *got is 0 at its end. False (logged) on a read
// failure, or on an end short of the announced length.
bool HttpReadStream(HttpStream* stream, void* buffer, uint32_t size, uint32_t* got);
