// The news list parser and TrimBlanks on the inputs a server can really send.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "news/news_parse.h"

namespace {

std::vector<char> Terminated(const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    return buffer;
}

struct Entry {
    std::string tag, title, body;
};

// Parses into one slot more than the launcher has, pre-filled with junk, so a write past
// the limit or a field left unpadded shows.
int Parse(const std::string& text, NewsItem (&items)[kNewsItemsMax + 1],
          int maxItems = kNewsItemsMax) {
    memset(items, 0x5a, sizeof(items));
    std::vector<char> buffer = Terminated(text);
    return ParseNewsText(buffer.data(), items, maxItems);
}

template <size_t N>
void ExpectField(const char (&field)[N], const std::string& expected) {
    EXPECT_EQ(std::string(field, strnlen(field, N)), expected);
    for (size_t i = expected.size(); i < N; ++i)
        ASSERT_EQ(field[i], '\0') << "unpadded byte " << i << " after \"" << expected << "\"";
}

void ExpectEntries(const std::string& text, const std::vector<Entry>& expected) {
    SCOPED_TRACE(testing::PrintToString(text));
    NewsItem items[kNewsItemsMax + 1];
    ASSERT_EQ(Parse(text, items), static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        ExpectField(items[i].tag, expected[i].tag);
        ExpectField(items[i].title, expected[i].title);
        ExpectField(items[i].body, expected[i].body);
    }
}

TEST(TrimBlanksTest, RemovesBlanksAtTheEndsOnlyAndLineBreaksOnlyAtTheEnd) {
    const char* const kRows[][2] = {{"  \tDouble drop \t ", "Double drop"},
                                    {"a  b", "a  b"},
                                    {"text\r\n", "text"},
                                    {"\r\ntext", "\r\ntext"},
                                    {" \ntext", "\ntext"},
                                    {"   ", ""},
                                    {"\t \r\n", ""},
                                    {"", ""}};
    for (const auto& row : kRows) {
        std::vector<char> buffer = Terminated(row[0]);
        TrimBlanks(buffer.data());
        EXPECT_STREQ(buffer.data(), row[1]) << "input " << testing::PrintToString(row[0]);
    }
}

TEST(NewsParseTest, EntriesFromTheLinesAServerSends) {
    ExpectEntries("EVENT|Double drop|All weekend\r\nINFO|Server up\r\n",
                  {{"EVENT", "Double drop", "All weekend"}, {"INFO", "Server up", ""}});
    ExpectEntries("EVENT|War|Mon | Wed | Fri\n", {{"EVENT", "War", "Mon | Wed | Fri"}});
    ExpectEntries("  HOT NEW \t|  Big   update  |\tpatch  notes  \n",
                  {{"HOT NEW", "Big   update", "patch  notes"}});
    ExpectEntries("|\n||\n", {{"", "", ""}, {"", "", ""}});
    ExpectEntries(
        "# TAG|Title|Body of a comment\n   #indented|comment\n\n      \n\t\n"
        "plain text without a bar\n<html><body>404</body></html>\nA#|not a comment\n",
        {{"A#", "not a comment", ""}});
    ExpectEntries(std::string("A|first\n") + '\0' + "B|hidden\n", {{"A", "first", ""}});
    ExpectEntries("", {});
    ExpectEntries("\r\n\r\n\n", {});
    ExpectEntries("# only|a comment\n", {});
}

TEST(NewsParseTest, LineEndsOfEveryKindGiveTheSameEntries) {
    for (const char* end : {"\n", "\r", "\r\n", "\n\r\n  \r\n\r\r"}) {
        // No line break after the last line.
        ExpectEntries(std::string("EVENT|One|first") + end + "INFO|Two" + end + "NEWS|Three|third",
                      {{"EVENT", "One", "first"}, {"INFO", "Two", ""}, {"NEWS", "Three", "third"}});
    }
}

TEST(NewsParseTest, FieldsAreCutToTheirSizes) {
    const std::string tag(23, 't'), title(119, 'T'), body(159, 'b');
    ExpectEntries(tag + "|" + title + "|" + body, {{tag, title, body}});
    ExpectEntries(tag + "tt|" + title + "TT|" + body + "bb\n", {{tag, title, body}});
    ExpectEntries(std::string(30, 't') + "|" + std::string(200, 'T') + "|" + std::string(300, 'b'),
                  {{tag, title, body}});
}

TEST(NewsParseTest, StopsAfterFiveEntries) {
    std::string text;
    for (int i = 1; i <= 7; ++i)
        text += "T" + std::to_string(i) + "|Title " + std::to_string(i) + "|Body\n";
    NewsItem items[kNewsItemsMax + 1];
    ASSERT_EQ(Parse(text, items), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(std::string(items[i].tag), "T" + std::to_string(i + 1));
    // The slot behind the limit is never touched.
    EXPECT_EQ(items[5].tag[0], 0x5a);
    EXPECT_EQ(Parse("A|b\n", items, 0), 0);
}

}  // namespace
