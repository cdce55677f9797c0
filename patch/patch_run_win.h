// The patch worker: self-update, version check, manifest stage, state file, final message.
#pragma once

// Thread entry for _beginthreadex. Ends with patchFinished set and WM_PATCH_FINISHED
// posted, on every path but the self-update's hand-over, which ends the process.
unsigned __stdcall PatchThreadProc(void* parameter);
