// The news parser on what a server can send (padding and bounds are the fuzz target's).
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "news/news_parse.h"

namespace {

template <size_t N>
std::string Field(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// Entries as "tag|title|body", parsed into an array of the launcher's size for ASan to guard.
void ExpectEntries(std::string text, const std::vector<std::string>& expected) {
    SCOPED_TRACE(testing::PrintToString(text.substr(0, 60)));
    NewsItem items[kNewsItemsMax];
    memset(items, 0x5a, sizeof(items));
    text.push_back('\0');
    std::vector<std::string> entries(ParseNewsText(&text[0], items, kNewsItemsMax));
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i] = Field(items[i].tag) + "|" + Field(items[i].title) + "|" + Field(items[i].body);
    EXPECT_EQ(entries, expected);
}

TEST(NewsParseTest, EntriesFromTheLinesAServerSendsCutToTheirSizesAndFiveAtMost) {
    ExpectEntries("EVENT|Double drop|All weekend\r\nINFO|Server up\r\n",
                  {"EVENT|Double drop|All weekend", "INFO|Server up|"});
    ExpectEntries("FESTIVAL|Lentera|Mon | Wed\n", {"FESTIVAL|Lentera|Mon | Wed"});
    ExpectEntries("  HOT NEW \t|  Big   update  |\tpatch  notes  \n",
                  {"HOT NEW|Big   update|patch  notes"});
    ExpectEntries("|\n", {"||"});
    ExpectEntries("# TAG|Title|a comment\n   #indented|comment\n \t\nno bar\nA#|not a comment",
                  {"A#|not a comment|"});
    for (const char* end : {"\n", "\r", "\n\r\n  \r\n\r\r"})
        ExpectEntries(std::string("E|One|first") + end + "I|Two", {"E|One|first", "I|Two|"});
    ExpectEntries(
        std::string(25, 't') + "|" + std::string(120, 'T') + "|" + std::string(161, 'b'),
        {std::string(23, 't') + "|" + std::string(119, 'T') + "|" + std::string(159, 'b')});
    ExpectEntries("A|1\nB|2\nC|3\nD|4\nE|5\nF|6\nG|7\n", {"A|1|", "B|2|", "C|3|", "D|4|", "E|5|"});
}

}  // namespace
