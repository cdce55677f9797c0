// VC++ runtime prerequisite (not built yet: the step does nothing).
#include "patch/stages.h"

void EnsureRuntimeInstalled() {}
