// Where a build can follow every status line: the launcher keeps nothing, the test build
// records them (tests/seams/). Linked in, never called by name outside SetStatus.
#pragma once

void NoteStatus(const char* text, int percent);
