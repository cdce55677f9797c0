// Launcher self-update (not built yet: no update is ever offered).
#include "patch/stages.h"

void TrySelfUpdate() {}
