// The last stage of a patch run: the VC++ x86 runtime the game needs.
#pragma once

// Runs the bundled installer and waits for it when the registry shows the runtime missing.
void EnsureRuntimeInstalled();
