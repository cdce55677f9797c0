// When a failed transfer is tried again, and after how long: a flaky link or an overloaded
// host gets three more tries, an answer that will not change gets none.
#pragma once

#include <stddef.h>

// Tries after the first one.
constexpr int kRetryLimit = 3;
// The longest Retry-After the launcher waits for; a longer one gets the usual pause.
constexpr int kRetryAfterLimitSeconds = 30;

// 5xx, 408 and 429 may pass; every other status other than 200 is the host's last word.
bool IsTransientStatus(unsigned long status);

// A WinINet error that a new connection may not meet again: a timeout, a reset or abort, an
// answer that broke off. A refused connection, an unknown host or a bad certificate are not.
bool IsTransientError(unsigned long error);

// The pause before try number retry (1 to kRetryLimit) in milliseconds: 1, 2, then 4 s, or
// the host's Retry-After when it is 0 to kRetryAfterLimitSeconds seconds in decimal.
// retryAfter is the header's value, length bytes, or null without one.
int RetryPauseMs(int retry, const char* retryAfter, size_t length);
