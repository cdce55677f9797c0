// Decimal numbers in text: the one digit reader of the launcher and of the publishing tool.
#include "base/decimal.h"

size_t ReadDecimalDigits(const char* text, size_t length, unsigned long long limit,
                         unsigned long long* value) {
    unsigned long long number = 0;
    size_t count = 0;
    for (; count < length && text[count] >= '0' && text[count] <= '9'; ++count) {
        const unsigned digit = static_cast<unsigned>(text[count] - '0');
        number = digit > limit || number > (limit - digit) / 10 ? limit : number * 10 + digit;
    }
    *value = number;
    return count;
}

bool ParseDecimal(const char* text, size_t length, long long min, long long max, long long* value) {
    // One above max is the first number that is refused, so a clamped value is refused too.
    const unsigned long long refused = static_cast<unsigned long long>(max) + 1;
    unsigned long long number = 0;
    if (length == 0 || ReadDecimalDigits(text, length, refused, &number) != length ||
        number >= refused || number < static_cast<unsigned long long>(min)) {
        return false;
    }
    *value = static_cast<long long>(number);
    return true;
}
