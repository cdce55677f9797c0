// Pure text rules of the patch run: version lines and the final status message.
#pragma once

#include <stddef.h>

// The state file keeps at most this many bytes of the version line that was last completed.
constexpr int kLocalVersionSize = 128;

// Ends text at its first carriage return or line feed.
void CutAtLineBreak(char* text);

// The run's closing status line for the two counts of the manifest stage.
void FormatFinalMessage(int downloadedCount, int failedCount, char* out, size_t outSize);
