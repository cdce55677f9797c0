// Pure text rules of the patch run: version lines and the final status message.
#include "patch/run_text.h"

#include <stdio.h>
#include <string.h>

void CutAtLineBreak(char* text) {
    text[strcspn(text, "\r\n")] = '\0';
}

void FormatFinalMessage(int downloadedCount, int failedCount, char* out, size_t outSize) {
    if (failedCount > 0) {
        snprintf(out, outSize, "Selesai, tapi %d file gagal. Klik MAIN/ulang.", failedCount);
    } else if (downloadedCount > 0) {
        snprintf(out, outSize, "Update selesai (%d file). Siap dimainkan!", downloadedCount);
    } else {
        snprintf(out, outSize, "File lengkap & terbaru. Siap dimainkan!");
    }
}
