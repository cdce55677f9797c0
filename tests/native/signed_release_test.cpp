// The signature lines of a signed manifest and a signed launcher offer, read from any bytes.
#include <gtest/gtest.h>

#include <string>

#include "patch/signed_release.h"

namespace {

// 48 times "0123456789abcdef": the bytes 01 23 45 67 89 ab cd ef over and over.
std::string RepeatedHex() {
    std::string hex;
    for (int i = 0; i < 48; ++i)
        hex += "0123456789abcdef";
    return hex;
}

const std::string kSig = "#@signature " + RepeatedHex();
const std::string kHead = "#@sequence 17\n#@version 2026.2\n";
const std::string kEntry = "a.dat|3|a9993e364706816aba3e25717850c26c9cd0d89d\n";

}  // namespace

TEST(SignedRelease, ManifestsAcceptedOnlyInTheirOneForm) {
    const std::string good = kHead + "# note\n" + kEntry + "\n" + kSig + "\n";
    SignedManifest m;
    ASSERT_TRUE(ReadSignedManifest(good.data(), good.size(), &m));
    EXPECT_EQ(m.signedLength, 14u + 17 + 7 + 49 + 1);
    EXPECT_EQ(m.sequence, 17);
    EXPECT_EQ(std::string(m.version, m.versionLength), "2026.2");
    EXPECT_EQ(m.signature[0], 0x01);
    EXPECT_EQ(m.signature[383], 0xef);

    const std::string maxSequence = "#@sequence 999999999999999999\n#@version v\n" + kSig;
    ASSERT_TRUE(ReadSignedManifest(maxSequence.data(), maxSequence.size(), &m));
    EXPECT_EQ(m.sequence, 999999999999999999LL);

    std::string upper = kSig;
    upper[22] = 'A';  // in place of "a"
    const std::string refused[] = {
        kHead + kEntry + kSig + "\n" + kEntry,                     // signature not last
        kHead + kEntry + kSig + "\n\n",                            // a blank line after it
        kHead + "#@sequence 18\n" + kEntry + kSig,                 // two sequence lines
        "#@version 2026.2\n" + kEntry + kSig,                      // no sequence
        "#@sequence 17\n" + kEntry + kSig,                         // no version
        "#@sequence 17\n#@version \n" + kSig,                      // empty version
        "#@sequence 17\n#@version 2026.2\r\n" + kSig,              // version with CR
        "#@sequence +17\n#@version 2026.2\n" + kSig,               // signed number
        "#@sequence 17 \n#@version 2026.2\n" + kSig,               // trailing blank
        "#@sequence 1000000000000000000\n#@version v\n" + kSig,    // 19 digits
        "#@sequence 17\n" + kEntry + "#@version 2026.2\n" + kSig,  // tag after an entry
        kHead + kSig + "\n" + kSig,                                // two signature lines
        kHead + "#@keyid 3\n" + kSig,                              // unknown tag
        kHead + std::string("a\0b|1|x\n", 8) + kSig,               // zero byte
        kHead + upper,                                             // uppercase digit
        kHead + kSig.substr(0, kSig.size() - 1),                   // odd digit count
        kHead + kSig + "0",                                        // 769 digits
        kHead + kEntry + kSig.substr(0, 300),                      // truncated
        kSig,                                                      // nothing signed
        "",
    };
    for (const std::string& text : refused)
        EXPECT_FALSE(ReadSignedManifest(text.data(), text.size(), &m)) << text;
}

TEST(SignedRelease, LauncherOffersAndTheirSignedPrefix) {
    const struct {
        std::string text;
        int build;
        const char* prefix;
    } accepted[] = {{"6\n" + kSig + "\n", 6, "#@build 6\n"},
                    {"0006\n" + kSig, 6, "#@build 6\n"},
                    {"2147483647\n" + kSig, 2147483647, "#@build 2147483647\n"}};
    LauncherOffer offer;
    for (const auto& row : accepted) {
        ASSERT_TRUE(ReadLauncherOffer(row.text.data(), row.text.size(), &offer)) << row.text;
        EXPECT_EQ(offer.build, row.build);
        EXPECT_EQ(std::string(offer.signedPrefix, offer.signedPrefixLength), row.prefix);
        EXPECT_EQ(offer.signature[383], 0xef);
    }
    // Beyond INT_MAX, zero, sign, blank, empty, CR, a third line, text after the signature,
    // and an unsigned offer.
    for (const std::string& text :
         {"2147483648\n" + kSig, "0\n" + kSig, "+6\n" + kSig, "6 \n" + kSig, "\n" + kSig,
          "6\r\n" + kSig, "6\n# x\n" + kSig, "6\n" + kSig + "\n" + kEntry, std::string("6\n")})
        EXPECT_FALSE(ReadLauncherOffer(text.data(), text.size(), &offer)) << text;
}
