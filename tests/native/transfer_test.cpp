// Which failed transfers are tried again and when; the headers that resume a cut body.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "base/http_range.h"
#include "base/http_retry.h"

namespace {

TEST(Transfer, OnlyFaultsThatMayPassAreTriedAgainAfterGrowingPauses) {
    for (unsigned long status : {500ul, 503ul, 599ul, 408ul, 429ul})
        EXPECT_TRUE(IsTransientStatus(status)) << status;
    for (unsigned long status : {200ul, 206ul, 301ul, 400ul, 403ul, 404ul, 410ul, 499ul, 600ul})
        EXPECT_FALSE(IsTransientStatus(status)) << status;
    // A timeout, an abort, a reset, a broken answer; not a refused connection, an unknown host
    // or a certificate the launcher does not trust.
    for (unsigned long error : {12002ul, 12030ul, 12031ul, 12152ul})
        EXPECT_TRUE(IsTransientError(error)) << error;
    for (unsigned long error : {12029ul, 12007ul, 12038ul, 12045ul, 0ul})
        EXPECT_FALSE(IsTransientError(error)) << error;
    const int usual[] = {0, 1000, 2000, 4000};
    for (int retry = 1; retry <= 3; ++retry) {
        EXPECT_EQ(RetryPauseMs(retry, nullptr, 0), usual[retry]);
        // Too long, a date, a sign, a fraction, empty: the usual pause.
        for (const char* asked : {"31", "Wed, 21 Oct 2026 07:28:00 GMT", "-1", "1.5", ""})
            EXPECT_EQ(RetryPauseMs(retry, asked, strlen(asked)), usual[retry]) << asked;
    }
    EXPECT_EQ(RetryPauseMs(1, "30", 2), 30000);
    EXPECT_EQ(RetryPauseMs(3, "0", 1), 0);
}

TEST(Transfer, AResumeNamesTheRestAndTheFirstValidatorAndTakesOnlyTheExactRange) {
    char out[kRangeHeaderSize + kValidatorSize + 16];
    ASSERT_TRUE(WriteResumeHeaders(4294967296LL, "\"5f2a-9c4\"", out, sizeof(out)));
    EXPECT_STREQ(out, "Range: bytes=4294967296-\r\nIf-Range: \"5f2a-9c4\"\r\n");
    // No validator, or one that would end the header line or carry other bytes: no resume.
    for (const char* validator : {"", "\"a\"\r\nX-Evil: 1", "\"a\"\n", "\"\xE9\"", "\"\x7f\""})
        EXPECT_FALSE(WriteResumeHeaders(1, validator, out, sizeof(out))) << validator;
    EXPECT_FALSE(WriteResumeHeaders(1, std::string(kValidatorSize, 'v').c_str(), out, 64));
    // Ranges past 4 GiB: only the exact answer to the range asked.
    EXPECT_TRUE(ContentRangeMatches("bytes 4294967296-4295032831/6442450944", 4294967296LL,
                                    4295032831LL, 6442450944LL));
    for (const char* other : {"bytes 0-65535/6442450944", "bytes 4294967296-4295032831/*",
                              "bytes 04294967296-4295032831/6442450944", "bytes */6442450944",
                              "bytes 4294967296-4295032831/6442450944 ", ""})
        EXPECT_FALSE(ContentRangeMatches(other, 4294967296LL, 4295032831LL, 6442450944LL)) << other;
}

}  // namespace
