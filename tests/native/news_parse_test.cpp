// The news list parser on the inputs a server can really send, blanks trimmed from each field.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "news/news_parse.h"

namespace {

struct Entry {
    std::string tag, title, body;
};

template <size_t N>
void ExpectField(const char (&field)[N], const std::string& expected) {
    EXPECT_EQ(std::string(field, strnlen(field, N)), expected);
    for (size_t i = expected.size(); i < N; ++i)
        ASSERT_EQ(field[i], '\0') << "unpadded byte " << i << " after \"" << expected << "\"";
}

// Parses into one slot more than the launcher has, filled with junk first, so that a write
// past the limit or a field left unpadded shows.
void ExpectEntries(const std::string& text, const std::vector<Entry>& expected) {
    SCOPED_TRACE(testing::PrintToString(text.substr(0, 60)));
    NewsItem items[kNewsItemsMax + 1];
    memset(items, 0x5a, sizeof(items));
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    ASSERT_EQ(ParseNewsText(buffer.data(), items, kNewsItemsMax),
              static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        ExpectField(items[i].tag, expected[i].tag);
        ExpectField(items[i].title, expected[i].title);
        ExpectField(items[i].body, expected[i].body);
    }
    EXPECT_EQ(items[kNewsItemsMax].tag[0], 0x5a);
}

TEST(NewsParseTest, EntriesFromTheLinesAServerSends) {
    ExpectEntries("EVENT|Double drop|All weekend\r\nINFO|Server up\r\n",
                  {{"EVENT", "Double drop", "All weekend"}, {"INFO", "Server up", ""}});
    ExpectEntries("FESTIVAL|Lentera|Mon | Wed\n", {{"FESTIVAL", "Lentera", "Mon | Wed"}});
    ExpectEntries("  HOT NEW \t|  Big   update  |\tpatch  notes  \n",
                  {{"HOT NEW", "Big   update", "patch  notes"}});
    ExpectEntries("|\n", {{"", "", ""}});
    ExpectEntries("# TAG|Title|a comment\n   #indented|comment\n \t\nno bar\nA#|not a comment",
                  {{"A#", "not a comment", ""}});
    ExpectEntries(std::string("A|first\n") + '\0' + "B|hidden\n", {{"A", "first", ""}});
    for (const char* end : {"\n", "\r", "\n\r\n  \r\n\r\r"})
        ExpectEntries(std::string("E|One|first") + end + "I|Two",
                      {{"E", "One", "first"}, {"I", "Two", ""}});
}

TEST(NewsParseTest, FieldsAreCutToTheirSizesAndFiveEntriesAreTheMost) {
    const std::string tag(23, 't'), title(119, 'T'), body(159, 'b');
    ExpectEntries(tag + "|" + title + "|" + body, {{tag, title, body}});
    ExpectEntries(tag + "tt|" + title + "T|" + body + "bb\n", {{tag, title, body}});
    std::string seven;
    std::vector<Entry> firstFive;
    for (int i = 1; i <= 7; ++i) {
        seven += "T" + std::to_string(i) + "|Title|Body\n";
        if (i <= 5)
            firstFive.push_back({"T" + std::to_string(i), "Title", "Body"});
    }
    ExpectEntries(seven, firstFive);
}

}  // namespace
