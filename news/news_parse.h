// Parser of the server's news list (tag|title|body lines) and the in-place trim it uses.
#pragma once

#include "base/news_item.h"

// Removes leading spaces and tabs, and trailing spaces, tabs, CR and LF, in place.
void TrimBlanks(char* text);

// Cuts text into lines in place (any run of CR and LF separates two lines) and stores the
// entry lines, in file order, into items[0..maxItems-1]. Returns the number stored.
int ParseNewsText(char* text, NewsItem* items, int maxItems);
