// Splitting a server's text file into lines in place, for the manifest and the news alike.
#include "base/text_lines.h"

#include <string.h>

char* NextLine(char** cursor) {
    char* start = *cursor + strspn(*cursor, "\r\n");
    if (*start == '\0') {
        *cursor = start;
        return nullptr;
    }
    char* end = start + strcspn(start, "\r\n");
    if (*end != '\0') {
        *end = '\0';
        ++end;
    }
    *cursor = end;
    return start;
}
