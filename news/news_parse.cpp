// Parser of the server's news list, pure so that any server text can be checked natively.
#include "news/news_parse.h"

#include <string.h>

#include "base/text_lines.h"

namespace {

// Fills the whole field: the text cut to size - 1 characters, then zeros, so no byte of an
// earlier entry survives behind the terminator.
template <size_t N>
void StoreField(char (&field)[N], const char* text) {
    size_t length = strnlen(text, N - 1);
    memset(field, 0, N);
    memcpy(field, text, length);
}

}  // namespace

void TrimBlanks(char* text) {
    if (*text == ' ' || *text == '\t') {
        size_t skip = strspn(text, " \t");
        memmove(text, text + skip, strlen(text + skip) + 1);
    }
    size_t length = strlen(text);
    while (length > 0 && strchr(" \t\r\n", text[length - 1]) != nullptr)
        text[--length] = '\0';
}

int ParseNewsText(char* text, NewsItem* items, int maxItems) {
    int count = 0;
    char* cursor = text;
    char* line = nullptr;
    while (count < maxItems && (line = NextLine(&cursor)) != nullptr) {
        TrimBlanks(line);
        if (line[0] == '\0' || line[0] == '#')
            continue;
        char* firstBar = strchr(line, '|');
        if (firstBar == nullptr)
            continue;
        *firstBar = '\0';
        char* title = firstBar + 1;
        char* body = title + strlen(title);
        char* secondBar = strchr(title, '|');
        if (secondBar != nullptr) {
            *secondBar = '\0';
            body = secondBar + 1;
        }
        TrimBlanks(line);
        TrimBlanks(title);
        TrimBlanks(body);
        StoreField(items[count].tag, line);
        StoreField(items[count].title, title);
        StoreField(items[count].body, body);
        ++count;
    }
    return count;
}
