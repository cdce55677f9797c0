// When a failed transfer is tried again, and after how long.
#include "base/http_retry.h"

#include "base/decimal.h"

namespace {

// WinINet's numbers, which this portable file cannot take from wininet.h.
constexpr unsigned long kErrorTimeout = 12002;
constexpr unsigned long kErrorConnectionAborted = 12030;
constexpr unsigned long kErrorConnectionReset = 12031;
constexpr unsigned long kErrorInvalidServerResponse = 12152;

constexpr int kFirstPauseMs = 1000;

}  // namespace

bool IsTransientStatus(unsigned long status) {
    return (status >= 500 && status <= 599) || status == 408 || status == 429;
}

bool IsTransientError(unsigned long error) {
    return error == kErrorTimeout || error == kErrorConnectionAborted ||
           error == kErrorConnectionReset || error == kErrorInvalidServerResponse;
}

int RetryPauseMs(int retry, const char* retryAfter, size_t length) {
    long long seconds = 0;
    if (retryAfter != nullptr &&
        ParseDecimal(retryAfter, length, 0, kRetryAfterLimitSeconds, &seconds)) {
        return static_cast<int>(seconds) * 1000;
    }
    const int shift = retry < 1 ? 0 : (retry > kRetryLimit ? kRetryLimit : retry) - 1;
    return kFirstPauseMs << shift;
}
