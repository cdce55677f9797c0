// One launcher per game folder, so that a double click never runs two patch runs at once.
#pragma once

#include <windows.h>

// Takes the game folder's guard for the life of the process. False when another launcher of
// the same folder holds it: that launcher's window is brought to the front, and this start
// must end without fetching or writing anything. Right after a hand-over of the self-update
// the old launcher may still be ending, so then it waits for the guard a little first.
bool ClaimGameFolder();

// Marks the main window as the one of this game folder, for a second start to find.
void MarkMainWindow(HWND window);
