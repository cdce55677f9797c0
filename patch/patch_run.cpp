// Pure text rules of the patch run: version lines and the final status message.
#include "patch/patch_run.h"

#include <stdio.h>
#include <string.h>

#include "base/player_texts.h"

void CutAtLineBreak(char* text) {
    text[strcspn(text, "\r\n")] = '\0';
}

void FormatFinalMessage(int downloadedCount, int failedCount, char* out, size_t outSize) {
    if (failedCount > 0) {
        snprintf(out, outSize, kStatusFailedFormat, failedCount);
    } else if (downloadedCount > 0) {
        snprintf(out, outSize, kStatusUpdatedFormat, downloadedCount);
    } else {
        snprintf(out, outSize, "%s", kStatusUpToDate);
    }
}
