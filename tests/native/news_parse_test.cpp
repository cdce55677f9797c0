// The news list parser and TrimBlanks on the inputs a server can really send.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "news/news_parse.h"

namespace {

std::string Trimmed(std::string text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    TrimBlanks(buffer.data());
    return buffer.data();
}

struct Parsed {
    int count;
    NewsItem items[kNewsItemsMax + 1];
};

// Parses into one slot more than the launcher has, pre-filled with junk, so a write past
// the limit or a field left unpadded shows.
Parsed Parse(const std::string& text, int maxItems = kNewsItemsMax) {
    Parsed parsed;
    memset(parsed.items, 0x5a, sizeof(parsed.items));
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    parsed.count = ParseNewsText(buffer.data(), parsed.items, maxItems);
    return parsed;
}

template <size_t N>
bool PaddedWithZeros(const char (&field)[N]) {
    for (size_t i = strnlen(field, N); i < N; ++i) {
        if (field[i] != '\0')
            return false;
    }
    return true;
}

void ExpectEntry(const NewsItem& item, const char* tag, const char* title, const char* body) {
    EXPECT_STREQ(item.tag, tag);
    EXPECT_STREQ(item.title, title);
    EXPECT_STREQ(item.body, body);
    EXPECT_TRUE(PaddedWithZeros(item.tag));
    EXPECT_TRUE(PaddedWithZeros(item.title));
    EXPECT_TRUE(PaddedWithZeros(item.body));
}

TEST(TrimBlanksTest, RemovesBlanksAtBothEndsOnly) {
    EXPECT_EQ(Trimmed("  \tDouble drop \t "), "Double drop");
    EXPECT_EQ(Trimmed("a  b"), "a  b");
    EXPECT_EQ(Trimmed("text\r\n"), "text");
    EXPECT_EQ(Trimmed("x"), "x");
}

TEST(TrimBlanksTest, LineBreaksAreBlanksOnlyAtTheEnd) {
    EXPECT_EQ(Trimmed("\r\ntext"), "\r\ntext");
    EXPECT_EQ(Trimmed(" \ntext"), "\ntext");
}

TEST(TrimBlanksTest, BlankOnlyTextBecomesEmpty) {
    EXPECT_EQ(Trimmed("   "), "");
    EXPECT_EQ(Trimmed("\t \r\n"), "");
    EXPECT_EQ(Trimmed(""), "");
}

TEST(NewsParseTest, TwoEntriesSecondWithoutBody) {
    Parsed parsed = Parse("EVENT|Double drop|All weekend\r\nINFO|Server up\r\n");
    ASSERT_EQ(parsed.count, 2);
    ExpectEntry(parsed.items[0], "EVENT", "Double drop", "All weekend");
    ExpectEntry(parsed.items[1], "INFO", "Server up", "");
}

TEST(NewsParseTest, FurtherBarsStayInTheBody) {
    Parsed parsed = Parse("EVENT|War|Mon | Wed | Fri\n");
    ASSERT_EQ(parsed.count, 1);
    ExpectEntry(parsed.items[0], "EVENT", "War", "Mon | Wed | Fri");
}

TEST(NewsParseTest, BlanksAroundBarsGoInnerBlanksStay) {
    Parsed parsed = Parse("  HOT NEW \t|  Big   update  |\tpatch  notes  \n");
    ASSERT_EQ(parsed.count, 1);
    ExpectEntry(parsed.items[0], "HOT NEW", "Big   update", "patch  notes");
}

TEST(NewsParseTest, LoneBarGivesAnEntryWithEmptyFields) {
    Parsed parsed = Parse("|\n||\n");
    ASSERT_EQ(parsed.count, 2);
    ExpectEntry(parsed.items[0], "", "", "");
    ExpectEntry(parsed.items[1], "", "", "");
}

TEST(NewsParseTest, CommentsBlankLinesAndBarlessLinesAreSkipped) {
    Parsed parsed = Parse(
        "# TAG|Title|Body of a comment\n"
        "   #indented|comment\n"
        "\n"
        "      \n"
        "\t\n"
        "plain text without a bar\n"
        "<html><body>404</body></html>\n"
        "A#|not a comment\n");
    ASSERT_EQ(parsed.count, 1);
    ExpectEntry(parsed.items[0], "A#", "not a comment", "");
}

TEST(NewsParseTest, LineEndsOfEveryKindGiveTheSameEntries) {
    const char* ends[] = {"\n", "\r", "\r\n", "\n\r\n  \r\n\r\r"};
    for (const char* end : ends) {
        SCOPED_TRACE(testing::PrintToString(std::string(end)));
        std::string text = std::string("EVENT|One|first") + end + "INFO|Two" + end +
                           "NEWS|Three|third";  // no line break after the last line
        Parsed parsed = Parse(text);
        ASSERT_EQ(parsed.count, 3);
        ExpectEntry(parsed.items[0], "EVENT", "One", "first");
        ExpectEntry(parsed.items[1], "INFO", "Two", "");
        ExpectEntry(parsed.items[2], "NEWS", "Three", "third");
    }
}

TEST(NewsParseTest, FieldsAreCutToTheirSizes) {
    std::string tag(30, 't');
    std::string title(200, 'T');
    std::string body(300, 'b');
    Parsed parsed = Parse(tag + "|" + title + "|" + body + "\n");
    ASSERT_EQ(parsed.count, 1);
    ExpectEntry(parsed.items[0], tag.substr(0, 23).c_str(), title.substr(0, 119).c_str(),
                body.substr(0, 159).c_str());
}

TEST(NewsParseTest, FieldsThatJustFitAreKeptWhole) {
    std::string tag(23, 't');
    std::string title(119, 'T');
    std::string body(159, 'b');
    Parsed parsed = Parse(tag + "|" + title + "|" + body);
    ASSERT_EQ(parsed.count, 1);
    ExpectEntry(parsed.items[0], tag.c_str(), title.c_str(), body.c_str());
}

TEST(NewsParseTest, StopsAfterFiveEntries) {
    std::string text;
    for (int i = 1; i <= 7; ++i)
        text += "T" + std::to_string(i) + "|Title " + std::to_string(i) + "|Body\n";
    Parsed parsed = Parse(text);
    ASSERT_EQ(parsed.count, 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(std::string(parsed.items[i].tag), "T" + std::to_string(i + 1));
    // The slot behind the limit is never touched.
    EXPECT_EQ(parsed.items[5].tag[0], 0x5a);
}

TEST(NewsParseTest, ZeroByteEndsTheText) {
    std::string text = "A|first\n";
    text += '\0';
    text += "B|hidden\n";
    Parsed parsed = Parse(text);
    ASSERT_EQ(parsed.count, 1);
    ExpectEntry(parsed.items[0], "A", "first", "");
}

TEST(NewsParseTest, NothingUsableGivesNoEntries) {
    EXPECT_EQ(Parse("").count, 0);
    EXPECT_EQ(Parse("\r\n\r\n\n").count, 0);
    EXPECT_EQ(Parse("# only|a comment\n").count, 0);
    EXPECT_EQ(Parse("A|b\n", 0).count, 0);
}

}  // namespace
