// The first stage of a patch run: replacing the launcher when the share offers a newer build.
#pragma once

// Returns only when it did not hand over to the update script; a hand-over ends the process.
void TrySelfUpdate();
