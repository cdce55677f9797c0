// Splitting a server's text file into lines in place, for the manifest and the news alike.
#pragma once

// Returns the next non-empty line and ends it with a zero, or null at the end of the text.
// Any run of CR and LF separates two lines, like a re-entrant tokenizer over "\r\n".
char* NextLine(char** cursor);
