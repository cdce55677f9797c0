// Byte ranges of HTTP requests: the Range header and the check of the Content-Range answer.
#include "base/http_range.h"

#include <stdio.h>
#include <string.h>

bool WriteRangeHeader(int64_t first, int64_t last, char* out, size_t outSize) {
    const int length = snprintf(out, outSize, "Range: bytes=%lld-%lld\r\n",
                                static_cast<long long>(first), static_cast<long long>(last));
    return length > 0 && static_cast<size_t>(length) < outSize;
}

bool ContentRangeMatches(const char* header, int64_t first, int64_t last, int64_t total) {
    char expected[kRangeHeaderSize];
    const int length =
        snprintf(expected, sizeof(expected), "bytes %lld-%lld/%lld", static_cast<long long>(first),
                 static_cast<long long>(last), static_cast<long long>(total));
    return length > 0 && static_cast<size_t>(length) < sizeof(expected) &&
           strcmp(header, expected) == 0;
}

bool WriteResumeHeaders(int64_t first, const char* validator, char* out, size_t outSize) {
    if (*validator == '\0')
        return false;
    for (const char* c = validator; *c != '\0'; ++c) {
        if (*c < ' ' || *c > '~')
            return false;
    }
    const int length = snprintf(out, outSize, "Range: bytes=%lld-\r\nIf-Range: %s\r\n",
                                static_cast<long long>(first), validator);
    return length > 0 && static_cast<size_t>(length) < outSize;
}
