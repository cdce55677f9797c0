// The launcher does not count its GDI objects.
#include "render/gdi_tally.h"

void NoteGdiCreated() {}
void NoteGdiDeleted() {}
