// WinINet transfers: a whole body into memory, or a body streamed to a file.
#include "base/http_win.h"

#include <windows.h>
#include <wininet.h>
#include <stdio.h>
#include <string.h>

#include "base/handle_guards_win.h"
#include "base/http_range.h"
#include "base/path_facts_win.h"
#include "base/player_texts.h"
#include "base/run_log_win.h"
#include "base/sha1_win.h"
#include "base/status_win.h"

namespace {

constexpr char kUserAgent[] = "SKH2026-Patcher/1.0";
// Never answered from or stored in the local cache, and no-cache towards proxies: a stale
// manifest or game file would otherwise be taken for the server's current one.
constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr DWORD kInitialTextCapacity = 128 << 10;
constexpr DWORD kGrowthMargin = 4 << 10;
constexpr DWORD kDownloadChunk = 64 << 10;
// Larger downloads show their megabytes as they arrive.
constexpr int64_t kProgressThreshold = 8 << 20;
constexpr int kProgressLineSize = 200;
// A body this large would overflow the doubling of a 32-bit capacity.
constexpr DWORD kLargestTextCapacity = 0x7fffffffu / 2;
// Room for the digits of a 64-bit Content-Length and its terminator.
constexpr DWORD kLengthHeaderSize = 32;

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

// The announced body length, or -1 without a Content-Length header. Read as text because
// the numeric form of the query stops at 32 bits.
int64_t AnnouncedLength(HINTERNET request) {
    char text[kLengthHeaderSize];
    DWORD size = sizeof(text);
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
        return -1;
    text[size < sizeof(text) ? size : sizeof(text) - 1] = '\0';
    char* end = nullptr;
    long long value = strtoll(text, &end, 10);
    if (end == text || value < 0)
        return -1;
    return value;
}

// False when there is no connection or the answer is not 200 (nor, with a range asked in
// headers, 206): an error page must never be stored as a game file or parsed as a control file.
bool OpenRequest(const char* url, Request* out, const char* headers = nullptr) {
    out->session.handle =
        InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (out->session.handle == nullptr) {
        LogProblem("GET %s: no internet access (error %lu)", url, GetLastError());
        return false;
    }
    out->request.handle =
        InternetOpenUrlA(out->session.handle, url, headers,
                         headers != nullptr ? static_cast<DWORD>(-1) : 0, kRequestFlags, 0);
    if (out->request.handle == nullptr) {
        LogProblem("GET %s: no connection (error %lu)", url, GetLastError());
        return false;
    }
    out->status = StatusCode(out->request.handle);
    if (out->status == 0) {
        LogProblem("GET %s: no answer (error %lu)", url, GetLastError());
        return false;
    }
    if (out->status != 200 && (headers == nullptr || out->status != 206)) {
        LogProblem("GET %s: HTTP status %lu", url, out->status);
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
bool ReceivedWhole(const char* url, int64_t announced, int64_t received) {
    if (announced < 0 || received == announced)
        return true;
    LogProblem("GET %s: body ended after %lld of %lld bytes", url, static_cast<long long>(received),
               static_cast<long long>(announced));
    return false;
}

void LogReadFailure(const char* url, int64_t received) {
    LogProblem("GET %s: read failed after %lld bytes (error %lu)", url,
               static_cast<long long>(received), GetLastError());
}

// Writes the body into file chunk by chunk, adding each chunk to sha1 when there is one. False
// on a read or write failure, or on more bytes than the manifest lists.
bool ReceiveBody(const char* url, HINTERNET request, HANDLE file, const char* localPath,
                 int64_t expectedSize, Sha1* sha1, int64_t* total) {
    const int64_t expectedMb = expectedSize >> 20;
    char chunk[kDownloadChunk];
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request, chunk, kDownloadChunk, &got)) {
            LogReadFailure(url, *total);
            return false;
        }
        if (got == 0)
            return true;
        // A server that sends more than the manifest promised is cut off before it can
        // fill the player's disk.
        if (expectedSize >= 0 && *total + got > expectedSize) {
            LogProblem("GET %s: body longer than the %lld bytes listed", url,
                       static_cast<long long>(expectedSize));
            return false;
        }
        DWORD written = 0;
        if (!WriteFile(file, chunk, got, &written, nullptr) || written != got) {
            LogProblem("GET %s: cannot write %s (error %lu)", url, localPath, GetLastError());
            return false;
        }
        *total += got;
        if (sha1 != nullptr && !Sha1Add(sha1, chunk, got))
            return false;
        if (expectedSize > kProgressThreshold) {
            char line[kProgressLineSize];
            snprintf(line, sizeof(line), kStatusMegabytesFormat,
                     static_cast<long long>(*total >> 20), static_cast<long long>(expectedMb));
            SetStatus(line, -1);
        }
    }
}

}  // namespace

FetchedText HttpFetchText(const char* url) {
    FetchedText result;
    Request request;
    if (!OpenRequest(url, &request))
        return result;

    FetchedText body;
    DWORD capacity = kInitialTextCapacity;
    body.text = static_cast<char*>(malloc(capacity));
    DWORD received = 0;
    while (body.text != nullptr) {
        DWORD got = 0;
        // A failed read is a broken transfer, never the end of the body.
        if (!InternetReadFile(request.request.handle, body.text + received, capacity - 1 - received,
                              &got)) {
            LogReadFailure(url, received);
            return result;
        }
        if (got == 0) {
            if (!ReceivedWhole(url, request.announced, received))
                return result;
            body.text[received] = '\0';
            body.length = static_cast<int>(received);
            return body;
        }
        received += got;
        if (capacity - received < kGrowthMargin) {
            char* grown = capacity > kLargestTextCapacity
                              ? nullptr
                              : static_cast<char*>(realloc(body.text, capacity * 2));
            if (grown == nullptr)
                break;
            body.text = grown;
            capacity *= 2;
        }
    }
    LogProblem("GET %s: no memory for more than %lu bytes", url, received);
    return result;
}

bool HttpDownloadFile(const char* url, const char* localPath, int64_t expectedSize,
                      const char* expectedDigest) {
    Request request;
    if (!OpenRequest(url, &request))
        return false;
    Sha1 sha1;
    if (expectedDigest != nullptr && !Sha1Begin(&sha1)) {
        LogProblem("GET %s: no SHA-1 service (error %lu)", url, GetLastError());
        return false;
    }

    FileHandle file(CreateFileA(localPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        LogProblem("GET %s: cannot create %s (error %lu)", url, localPath, GetLastError());
        return false;
    }
    int64_t total = 0;
    bool whole = ReceiveBody(url, request.request.handle, file.handle, localPath, expectedSize,
                             expectedDigest != nullptr ? &sha1 : nullptr, &total);
    file.Close();
    whole = whole && ReceivedWhole(url, request.announced, total);
    if (expectedDigest != nullptr) {
        char digest[kDigestLength + 1] = "?";
        if (whole && (!Sha1Finish(&sha1, digest) || strcmp(digest, expectedDigest) != 0)) {
            LogProblem("GET %s: SHA-1 %s, the signed manifest lists %s", url, digest,
                       expectedDigest);
            whole = false;
        }
        // Bytes the operator did not sign never stay in the game folder, whether they differ
        // or were cut short.
        if (!whole)
            DeleteFileA(localPath);
    }
    if (!whole)
        return false;
    if (expectedSize < 0)
        return true;
    PathFacts facts = QueryPathFacts(localPath);
    if (facts.exists && !facts.isDirectory && facts.size == expectedSize)
        return true;
    LogProblem("GET %s: %s holds %lld bytes, the manifest lists %lld", url, localPath, facts.size,
               static_cast<long long>(expectedSize));
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
    if (!OpenRequest(url, &request))
        return false;
    TakeOver(&request, url, out);
    return true;
}

HttpRangeAnswer HttpOpenRange(const char* url, int64_t first, int64_t last, int64_t totalSize,
                              HttpStream* out) {
    char header[kRangeHeaderSize];
    Request request;
    if (!WriteRangeHeader(first, last, header, sizeof(header)) ||
        !OpenRequest(url, &request, header)) {
        return HttpRangeAnswer::Failed;
    }
    if (request.status == 206) {
        char range[kRangeHeaderSize];
        DWORD size = sizeof(range);
        if (!HttpQueryInfoA(request.request.handle, HTTP_QUERY_CONTENT_RANGE, range, &size,
                            nullptr)) {
            range[0] = '\0';
        }
        range[size < sizeof(range) ? size : sizeof(range) - 1] = '\0';
        if (!ContentRangeMatches(range, first, last, totalSize) ||
            (request.announced >= 0 && request.announced != last - first + 1)) {
            LogProblem("GET %s: asked for bytes %lld-%lld/%lld, answered \"%s\"", url,
                       static_cast<long long>(first), static_cast<long long>(last),
                       static_cast<long long>(totalSize), range);
            return HttpRangeAnswer::Failed;
        }
    }
    TakeOver(&request, url, out);
    return request.status == 206 ? HttpRangeAnswer::Range : HttpRangeAnswer::WholeFile;
}

bool HttpReadStream(HttpStream* stream, void* buffer, uint32_t size, uint32_t* got) {
    DWORD read = 0;
    if (!InternetReadFile(stream->request, buffer, size, &read)) {
        LogReadFailure(stream->url, stream->received);
        return false;
    }
    *got = read;
    stream->received += read;
    return read > 0 || ReceivedWhole(stream->url, stream->announced, stream->received);
}
