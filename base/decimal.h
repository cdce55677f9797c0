// Decimal numbers in text: the one digit reader of the launcher and of the publishing tool.
#pragma once

#include <stddef.h>

// Reads the run of decimal digits at the start of text, at most length bytes, and returns how
// many digits it holds; *value is their number, held at limit when it would be larger, so no
// run of digits can overflow.
size_t ReadDecimalDigits(const char* text, size_t length, unsigned long long limit,
                         unsigned long long* value);

// True when the length bytes of text are one or more decimal digits (no sign, no blank) and
// their number lies from min to max (0 <= min <= max); *value is then that number.
bool ParseDecimal(const char* text, size_t length, long long min, long long max, long long* value);
