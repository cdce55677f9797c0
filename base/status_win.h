// The patch thread's only way of reporting to the window: the status line and the bar.
#pragma once

// Replaces the status line; a negative percent leaves the progress bar as it is.
void SetStatus(const char* text, int percent);
