// Version-line cutting and the final status message of a run.
#include <gtest/gtest.h>

#include <string>

#include "patch/patch_run.h"

TEST(CutAtLineBreak, StopsAtFirstCarriageReturnOrLineFeed) {
    char a[] = "7\r\n";
    CutAtLineBreak(a);
    EXPECT_STREQ(a, "7");
    char b[] = "\nrest";
    CutAtLineBreak(b);
    EXPECT_STREQ(b, "");
    char c[] = " v 1.2 \rx";
    CutAtLineBreak(c);
    EXPECT_STREQ(c, " v 1.2 ");
}

TEST(FormatFinalMessage, FailuresWinOverDownloadsWhichWinOverNothing) {
    char out[400];
    FormatFinalMessage(2, 1, out, sizeof(out));
    EXPECT_STREQ(out, "Selesai, tapi 1 file gagal. Klik MAIN/ulang.");
    FormatFinalMessage(3, 0, out, sizeof(out));
    EXPECT_STREQ(out, "Update selesai (3 file). Siap dimainkan!");
    FormatFinalMessage(0, 0, out, sizeof(out));
    EXPECT_STREQ(out, "File lengkap & terbaru. Siap dimainkan!");
}
