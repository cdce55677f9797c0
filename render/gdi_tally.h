// Where a build can count the GDI objects the painting makes and deletes: the launcher does
// not count, the test build does (tests/seams/), since Wine's GetGuiResources answers 0.
#pragma once

void NoteGdiCreated();
void NoteGdiDeleted();
