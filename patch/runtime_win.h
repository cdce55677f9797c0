// The last stage of a patch run: the VC++ x86 runtime the game needs.
#pragma once

// Runs the bundled installer and waits for it when the registry shows the runtime missing,
// as a copy in the launcher's own folder kRuntimeRunFolderName, which is removed afterwards.
// With a signedDigest (a signed release) the installer runs only when its SHA-1 is that one;
// an empty one, a release that lists no installer, runs nothing.
void EnsureRuntimeInstalled(const char* signedDigest);
