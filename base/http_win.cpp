// WinINet transfers: a whole body into memory, a body into a checked file, or a body read
// piece by piece; transient failures tried again.
#include "base/http_win.h"

#include <windows.h>
#include <wininet.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "base/game_path.h"
#include "base/handle_guards_win.h"
#include "base/hash_win.h"
#include "base/http_range.h"
#include "base/http_retry.h"
#include "base/own_files.h"
#include "base/player_texts.h"
#include "base/retry_pause.h"
#include "base/run_log_win.h"
#include "base/status_win.h"

namespace {

constexpr char kUserAgent[] = "SKH2026-Patcher/1.0";
// Never answered from or stored in the local cache, and no-cache towards proxies: a stale
// manifest or game file would otherwise be taken for the server's current one.
constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
// A connection, a request or a read that waits longer than this is a stall, tried again.
constexpr DWORD kStallTimeoutMs = 30000;
constexpr DWORD kInitialTextCapacity = 128 << 10;
constexpr DWORD kDownloadChunk = 64 << 10;
constexpr int kProgressLineSize = 200;
// Room for the digits of a 64-bit Content-Length and its terminator.
constexpr DWORD kLengthHeaderSize = 32;
constexpr DWORD kRetryAfterSize = 32;
constexpr int kCauseSize = 160;
// Room for the resume headers: a range and a validator.
constexpr size_t kResumeHeadersSize = kRangeHeaderSize + kValidatorSize + 16;

struct InternetHandle {
    HINTERNET handle = nullptr;
    InternetHandle() = default;
    ~InternetHandle() {
        if (handle != nullptr)
            InternetCloseHandle(handle);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
};

// One GET: its own session (no connection is reused), the request closed before it, and the
// body length and status the server announced.
struct Request {
    InternetHandle session;
    InternetHandle request;
    int64_t announced = -1;
    DWORD status = 0;
};

// How one try ended when it failed: whether another may do better, why (for the retry line),
// and the host's Retry-After.
struct TryFailure {
    bool transient = false;
    char cause[kCauseSize] = "";
    char retryAfter[kRetryAfterSize] = "";
};

// Logs the problem as the run log has always said it, and keeps it as the cause of a retry.
void Fail(TryFailure* failure, bool transient, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void Fail(TryFailure* failure, bool transient, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(failure->cause, sizeof(failure->cause), format, args);
    va_end(args);
    failure->transient = transient;
    LogProblem("%s", failure->cause);
}

// The answer's status code, or 0 when it cannot be read.
DWORD StatusCode(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr)) {
        return 0;
    }
    return status;
}

// A header as text in out (size bytes), empty when the answer has none.
void QueryHeader(HINTERNET request, DWORD query, char* out, DWORD size) {
    DWORD length = size;
    if (!HttpQueryInfoA(request, query, out, &length, nullptr))
        length = 0;
    out[length < size ? length : size - 1] = '\0';
}

// The announced body length, or -1 without a Content-Length header. Read as text because
// the numeric form of the query stops at 32 bits.
int64_t AnnouncedLength(HINTERNET request) {
    char text[kLengthHeaderSize];
    QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH, text, sizeof(text));
    char* end = nullptr;
    long long value = strtoll(text, &end, 10);
    if (end == text || value < 0)
        return -1;
    return value;
}

void SetTimeouts(HINTERNET session) {
    DWORD timeout = kStallTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        InternetSetOptionA(session, option, &timeout, sizeof(timeout));
    }
}

// False when there is no connection or the answer is not 200 (nor, with a range asked in
// headers, 206): an error page must never be stored as a game file or parsed as a control file.
bool OpenRequest(const char* url, Request* out, TryFailure* failure,
                 const char* headers = nullptr) {
    out->session.handle =
        InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (out->session.handle == nullptr) {
        Fail(failure, false, "GET %s: no internet access (error %lu)", url, GetLastError());
        return false;
    }
    SetTimeouts(out->session.handle);
    out->request.handle =
        InternetOpenUrlA(out->session.handle, url, headers,
                         headers != nullptr ? static_cast<DWORD>(-1) : 0, kRequestFlags, 0);
    if (out->request.handle == nullptr) {
        const DWORD error = GetLastError();
        Fail(failure, IsTransientError(error), "GET %s: no connection (error %lu)", url, error);
        return false;
    }
    out->status = StatusCode(out->request.handle);
    if (out->status == 0) {
        Fail(failure, true, "GET %s: no answer (error %lu)", url, GetLastError());
        return false;
    }
    if (out->status != 200 && (headers == nullptr || out->status != 206)) {
        QueryHeader(out->request.handle, HTTP_QUERY_RETRY_AFTER, failure->retryAfter,
                    sizeof(failure->retryAfter));
        Fail(failure, IsTransientStatus(out->status), "GET %s: HTTP status %lu", url, out->status);
        return false;
    }
    out->announced = AnnouncedLength(out->request.handle);
    return true;
}

// Hands the request's handles over to a stream.
void TakeOver(Request* request, const char* url, HttpStream* out) {
    out->session = request->session.handle;
    out->request = request->request.handle;
    request->session.handle = nullptr;
    request->request.handle = nullptr;
    out->url = url;
    out->announced = request->announced;
    out->received = 0;
}

// WinINet reports a connection cut in mid-body as a clean end: only the announced length
// tells them apart.
bool ReceivedWhole(const char* url, int64_t announced, int64_t received, TryFailure* failure) {
    if (announced < 0 || received == announced)
        return true;
    Fail(failure, true, "GET %s: body ended after %lld of %lld bytes", url,
         static_cast<long long>(received), static_cast<long long>(announced));
    return false;
}

void ReadFailed(const char* url, int64_t received, TryFailure* failure) {
    Fail(failure, true, "GET %s: read failed after %lld bytes (error %lu)", url,
         static_cast<long long>(received), GetLastError());
}

// A 206 must name exactly the bytes asked for, of a file of the size expected.
bool IsAskedRange(const char* url, const Request& request, int64_t first, int64_t last,
                  int64_t total, TryFailure* failure) {
    char range[kRangeHeaderSize];
    QueryHeader(request.request.handle, HTTP_QUERY_CONTENT_RANGE, range, sizeof(range));
    if (ContentRangeMatches(range, first, last, total) &&
        (request.announced < 0 || request.announced == last - first + 1)) {
        return true;
    }
    Fail(failure, true, "GET %s: asked for bytes %lld-%lld/%lld, answered \"%s\"", url,
         static_cast<long long>(first), static_cast<long long>(last), static_cast<long long>(total),
         range);
    return false;
}

// Runs tries of one transfer until one succeeds, one fails for good or the retries are spent;
// before each retry one line in the run log and a pause.
template <typename TryOnce>
bool WithRetries(const char* url, TryOnce tryOnce) {
    for (int retry = 1;; ++retry) {
        TryFailure failure;
        if (tryOnce(&failure))
            return true;
        if (!failure.transient || retry > kRetryLimit)
            return false;
        const int pause =
            RetryPauseMs(retry, failure.retryAfter[0] != '\0' ? failure.retryAfter : nullptr,
                         strlen(failure.retryAfter));
        LogProblem("GET %s: retry %d of %d in %d ms after: %s", url, retry, kRetryLimit, pause,
                   failure.cause);
        PauseBeforeRetry(pause);
    }
}

// One try of a text fetch: the body into text, held to limit bytes.
bool TryFetchText(const char* url, size_t limit, FetchedText* text, TryFailure* failure) {
    Request request;
    if (!OpenRequest(url, &request, failure))
        return false;
    if (request.announced > static_cast<int64_t>(limit)) {
        Fail(failure, false, "GET %s: body longer than the %lu bytes a text may hold", url,
             static_cast<unsigned long>(limit));
        return false;
    }
    // Room for one byte beyond the bound, which shows a body too long, and the terminator.
    const size_t largest = limit + 2;
    size_t capacity = largest < kInitialTextCapacity ? largest : kInitialTextCapacity;
    FetchedText body;
    body.text = static_cast<char*>(malloc(capacity));
    size_t received = 0;
    while (body.text != nullptr) {
        if (received > limit) {
            Fail(failure, false, "GET %s: body longer than the %lu bytes a text may hold", url,
                 static_cast<unsigned long>(limit));
            return false;
        }
        if (received + 1 == capacity) {
            const size_t grown = capacity > largest / 2 ? largest : capacity * 2;
            char* larger = static_cast<char*>(realloc(body.text, grown));
            if (larger == nullptr)
                break;
            body.text = larger;
            capacity = grown;
        }
        DWORD got = 0;
        // A failed read is a broken transfer, never the end of the body.
        if (!InternetReadFile(request.request.handle, body.text + received,
                              static_cast<DWORD>(capacity - 1 - received), &got)) {
            ReadFailed(url, static_cast<int64_t>(received), failure);
            return false;
        }
        if (got == 0) {
            if (!ReceivedWhole(url, request.announced, static_cast<int64_t>(received), failure))
                return false;
            body.text[received] = '\0';
            body.length = static_cast<int>(received);
            *text = static_cast<FetchedText&&>(body);
            return true;
        }
        received += got;
    }
    Fail(failure, false, "GET %s: no memory for more than %lu bytes", url,
         static_cast<unsigned long>(received));
    return false;
}

// A download in progress: the part file and what it holds, the running digest of those bytes,
// and the validator of the first answer, which a resumed request must still match.
struct Download {
    const char* url;
    const char* localPath;
    char partPath[kPathSize];
    int64_t expectedSize;
    int64_t limit;
    const char* digest;
    FileHandle part{INVALID_HANDLE_VALUE};
    Sha1 sha1;
    int64_t written = 0;
    char validator[kValidatorSize] = "";
};

// Empties the part file and the digest, for a body that starts again from its first byte.
bool Restart(Download* download) {
    download->written = 0;
    download->validator[0] = '\0';
    const bool emptied = SetFilePointer(download->part.handle, 0, nullptr, FILE_BEGIN) == 0 &&
                         SetEndOfFile(download->part.handle);
    if (!emptied) {
        LogProblem("GET %s: cannot empty %s (error %lu)", download->url, download->partPath,
                   GetLastError());
    }
    return emptied && (download->digest == nullptr || Sha1Begin(&download->sha1));
}

// A strong validator of the answer, or none: a weak ETag cannot guard a range.
void KeepValidator(HINTERNET request, Download* download) {
    char etag[kValidatorSize];
    QueryHeader(request, HTTP_QUERY_ETAG, etag, sizeof(etag));
    if (etag[0] == '"') {
        snprintf(download->validator, sizeof(download->validator), "%s", etag);
        return;
    }
    QueryHeader(request, HTTP_QUERY_LAST_MODIFIED, download->validator,
                sizeof(download->validator));
}

// Appends the body to the part file and the digest. False on a read or write failure, or on
// more bytes than the manifest lists.
bool ReceiveBody(Download* download, HINTERNET request, TryFailure* failure) {
    const int64_t bound = download->expectedSize >= 0 ? download->expectedSize : kUnlistedBodyLimit;
    const int64_t expectedMb = download->expectedSize >> 20;
    char chunk[kDownloadChunk];
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request, chunk, kDownloadChunk, &got)) {
            ReadFailed(download->url, download->written, failure);
            return false;
        }
        if (got == 0)
            return true;
        // A server that sends more than the manifest promised is cut off before it can
        // fill the player's disk.
        if (download->written + got > bound) {
            Fail(failure, false, "GET %s: body longer than the %lld bytes listed", download->url,
                 static_cast<long long>(bound));
            return false;
        }
        DWORD stored = 0;
        if (!WriteFile(download->part.handle, chunk, got, &stored, nullptr) || stored != got) {
            Fail(failure, false, "GET %s: cannot write %s (error %lu)", download->url,
                 download->partPath, GetLastError());
            return false;
        }
        download->written += got;
        if (download->digest != nullptr && !Sha1Add(&download->sha1, chunk, got)) {
            Fail(failure, false, "GET %s: SHA-1 service failed (error %lu)", download->url,
                 GetLastError());
            return false;
        }
        if (download->expectedSize > kLargeDownloadSize) {
            char line[kProgressLineSize];
            snprintf(line, sizeof(line), kStatusMegabytesFormat,
                     static_cast<long long>(download->written >> 20),
                     static_cast<long long>(expectedMb));
            SetStatus(line, -1);
        }
    }
}

// One try: the whole body, or with what the part file already holds of a large one, the rest
// of it, taken only from a 206 that names exactly that rest.
bool TryDownload(Download* download, TryFailure* failure) {
    char headers[kResumeHeadersSize];
    const bool resuming =
        download->written > 0 && download->expectedSize > kLargeDownloadSize &&
        WriteResumeHeaders(download->written, download->validator, headers, sizeof(headers));
    if (!resuming && download->written > 0 && !Restart(download))
        return false;
    Request request;
    if (!OpenRequest(download->url, &request, failure, resuming ? headers : nullptr))
        return false;
    if (request.status == 206) {
        // Bytes of another range would sit in the file unnoticed until the digest: the next try
        // starts again from the first byte.
        if (!IsAskedRange(download->url, request, download->written, download->expectedSize - 1,
                          download->expectedSize, failure)) {
            Restart(download);
            return false;
        }
        LogProblem("GET %s: resumed at byte %lld", download->url,
                   static_cast<long long>(download->written));
    } else {
        // A 200 is the whole file again: the validator changed, or the host ignores ranges.
        if (download->written > 0 && !Restart(download))
            return false;
        KeepValidator(request.request.handle, download);
    }
    const int64_t before = download->written;
    if (!ReceiveBody(download, request.request.handle, failure) ||
        !ReceivedWhole(download->url, request.announced, download->written - before, failure)) {
        return false;
    }
    if (download->expectedSize < 0 || download->written == download->expectedSize)
        return true;
    // Without an announced length a short body may be a cut; with one it is the host's file.
    Fail(failure, request.announced < 0, "GET %s: %s holds %lld bytes, the manifest lists %lld",
         download->url, download->localPath, static_cast<long long>(download->written),
         static_cast<long long>(download->expectedSize));
    return false;
}

// The whole body, of the listed size, is in the part file: its digest is the listed one.
bool IsListedFile(Download* download) {
    if (download->digest == nullptr)
        return true;
    char digest[kDigestLength + 1] = "?";
    if (Sha1Finish(&download->sha1, digest) && strcmp(digest, download->digest) == 0)
        return true;
    LogProblem("GET %s: SHA-1 %s, the manifest lists %s", download->url, digest, download->digest);
    return false;
}

}  // namespace

FetchedText HttpFetchText(const char* url, size_t limit) {
    FetchedText text;
    WithRetries(url, [&](TryFailure* failure) { return TryFetchText(url, limit, &text, failure); });
    return text;
}

bool HttpDownloadFile(const char* url, const char* localPath, int64_t expectedSize,
                      const char* expectedDigest) {
    Download download;
    download.url = url;
    download.localPath = localPath;
    download.expectedSize = expectedSize;
    download.digest = expectedDigest;
    const int length =
        snprintf(download.partPath, sizeof(download.partPath), "%s%s", localPath, kPartFileSuffix);
    if (length < 0 || length >= static_cast<int>(sizeof(download.partPath))) {
        LogProblem("GET %s: the part file's name would be too long", url);
        return false;
    }
    if (expectedDigest != nullptr && !Sha1Begin(&download.sha1)) {
        LogProblem("GET %s: no SHA-1 service (error %lu)", url, GetLastError());
        return false;
    }
    // Whatever an earlier run left under the part name is emptied here.
    download.part.handle = CreateFileA(download.partPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!download.part.IsOpen()) {
        LogProblem("GET %s: cannot create %s (error %lu)", url, download.partPath, GetLastError());
        return false;
    }
    const bool fetched =
        WithRetries(url, [&](TryFailure* failure) { return TryDownload(&download, failure); });
    download.part.Close();
    if (fetched && IsListedFile(&download)) {
        if (MoveFileExA(download.partPath, localPath,
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        LogProblem("GET %s: cannot put %s in place (error %lu)", url, localPath, GetLastError());
    }
    DeleteFileA(download.partPath);
    return false;
}

HttpStream::~HttpStream() {
    if (request != nullptr)
        InternetCloseHandle(request);
    if (session != nullptr)
        InternetCloseHandle(session);
}

bool HttpOpenStream(const char* url, HttpStream* out) {
    Request request;
    TryFailure failure;
    if (!OpenRequest(url, &request, &failure))
        return false;
    TakeOver(&request, url, out);
    return true;
}

HttpRangeAnswer HttpOpenRange(const char* url, int64_t first, int64_t last, int64_t totalSize,
                              HttpStream* out) {
    char header[kRangeHeaderSize];
    Request request;
    TryFailure failure;
    if (!WriteRangeHeader(first, last, header, sizeof(header)) ||
        !OpenRequest(url, &request, &failure, header) ||
        (request.status == 206 && !IsAskedRange(url, request, first, last, totalSize, &failure))) {
        return HttpRangeAnswer::Failed;
    }
    TakeOver(&request, url, out);
    return request.status == 206 ? HttpRangeAnswer::Range : HttpRangeAnswer::WholeFile;
}

bool HttpReadStream(HttpStream* stream, void* buffer, uint32_t size, uint32_t* got) {
    DWORD read = 0;
    TryFailure failure;
    if (!InternetReadFile(stream->request, buffer, size, &read)) {
        ReadFailed(stream->url, stream->received, &failure);
        return false;
    }
    *got = read;
    stream->received += read;
    return read > 0 || ReceivedWhole(stream->url, stream->announced, stream->received, &failure);
}
