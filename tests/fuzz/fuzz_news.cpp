// Fuzzes the news parser and TrimBlanks: fields stay terminated, trimmed and within bounds.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "news/news_parse.h"

namespace {

void CheckField(const char* field, size_t size) {
    size_t length = strnlen(field, size);
    if (length >= size)
        __builtin_trap();
    for (size_t i = length; i < size; ++i) {
        if (field[i] != '\0')
            __builtin_trap();  // padded with zeros to the end
    }
    if (length > 0) {
        char first = field[0];
        char last = field[length - 1];
        // A field cut to its size may end in a blank; an uncut one never does.
        bool cut = length == size - 1;
        if (first == ' ' || first == '\t' ||
            (!cut && (last == ' ' || last == '\t' || last == '\r' || last == '\n'))) {
            __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    std::vector<char> copy = text;
    NewsItem items[kNewsItemsMax + 1];
    memset(items, 0x5A, sizeof(items));
    int count = ParseNewsText(text.data(), items, kNewsItemsMax);
    if (count < 0 || count > kNewsItemsMax)
        __builtin_trap();
    for (int i = 0; i < count; ++i) {
        CheckField(items[i].tag, sizeof(items[i].tag));
        CheckField(items[i].title, sizeof(items[i].title));
        CheckField(items[i].body, sizeof(items[i].body));
    }
    // Entries past the count are never touched.
    for (size_t i = 0; i < sizeof(NewsItem); ++i) {
        if (reinterpret_cast<unsigned char*>(&items[kNewsItemsMax])[i] != 0x5A)
            __builtin_trap();
    }
    TrimBlanks(copy.data());
    size_t length = strlen(copy.data());
    if (length > 0 && (copy[0] == ' ' || copy[0] == '\t' || copy[length - 1] == ' ' ||
                       copy[length - 1] == '\n' || copy[length - 1] == '\r')) {
        __builtin_trap();
    }
    return 0;
}
