// Byte ranges of HTTP requests: the Range header asked for and the Content-Range answer
// checked, so that bytes of another range are never taken for the ones asked.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Room for "Range: bytes=<first>-<last>\r\n" with two 64-bit numbers, and a zero.
constexpr size_t kRangeHeaderSize = 64;

// Writes the request header for bytes first..last (inclusive); false when it does not fit.
bool WriteRangeHeader(int64_t first, int64_t last, char* out, size_t outSize);

// The longest validator (ETag or Last-Modified) a resumed download sends back.
constexpr size_t kValidatorSize = 128;

// Writes "Range: bytes=<first>-" and "If-Range: <validator>" header lines for the rest of a
// file from first on; false when they do not fit, or when the validator is empty or holds a
// byte outside printable ASCII (a host's line break must never reach the request).
bool WriteResumeHeaders(int64_t first, const char* validator, char* out, size_t outSize);

// True only for exactly "bytes <first>-<last>/<total>" in canonical decimal.
bool ContentRangeMatches(const char* header, int64_t first, int64_t last, int64_t total);
