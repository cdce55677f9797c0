// One fuzz target for every reader of server text. The first byte picks the reader; each is
// held to properties that do not repeat its own algorithm.
#include <errno.h>
#include <limits.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/game_path.h"
#include "base/text_lines.h"
#include "news/news_parse.h"
#include "patch/manifest.h"
#include "patch/self_update.h"

namespace {

void Require(bool property) {
    if (!property)
        __builtin_trap();
}

// Accepted paths stay inside the folder: no absolute form, drive, stream or parent part.
void CheckLocalPath(const char* local) {
    const char* rest = local + strlen("C:\\Game\\");
    Require(strlen(local) <= 259 && strchr(local, '/') == nullptr && strchr(rest, ':') == nullptr);
    Require(rest[0] != '\\');
    for (const char* part = rest;; ++part) {
        size_t length = strcspn(part, "\\");
        size_t dots = strspn(part, ". ");
        Require(!(dots == length && strspn(part, ".") >= 2));
        part += length;
        if (*part == '\0')
            break;
    }
}

void FuzzManifest(std::vector<char> text) {
    const int lineTotal = CountManifestLines(text.data());
    Require(lineTotal >= 1);
    char* cursor = text.data();
    int n = 0;
    char local[kPathSize];
    while (char* line = NextLine(&cursor)) {
        Require(*line != '\0' && strpbrk(line, "\r\n") == nullptr);
        ManifestEntry entry;
        if (!ParseManifestEntry(line, &entry))
            continue;
        int percent = ManifestProgress(++n, lineTotal);
        Require(percent >= 5 && percent <= 95);
        if (!IsRefusedPath(entry.path) &&
            GameFolderPath("C:\\Game\\", entry.path, local, sizeof(local))) {
            CheckLocalPath(local);
        }
    }
}

int HexValue(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

// The address decodes back to the path, or the path is refused only when it could not fit.
void FuzzEncoder(const std::string& path) {
    char out[kEncodedPathLimit + 1];
    if (!EncodeUrlPath(path.c_str(), out, sizeof(out))) {
        Require(path.size() * 3 > kEncodedPathLimit - 2);
        return;
    }
    std::string decoded;
    for (const char* p = out; *p != '\0'; ++p) {
        if (*p != '%') {
            Require(*p > ' ' && *p < 0x7F);
            decoded += *p;
            continue;
        }
        Require(strchr("0123456789ABCDEF", p[1]) != nullptr && p[1] != '\0');
        Require(strchr("0123456789ABCDEF", p[2]) != nullptr && p[2] != '\0');
        decoded += static_cast<char>(HexValue(p[1]) * 16 + HexValue(p[2]));
        p += 2;
    }
    Require(decoded == path && strlen(out) <= kEncodedPathLimit);
}

template <size_t N>
void CheckField(const char (&field)[N]) {
    size_t length = strnlen(field, N);
    Require(length < N);
    for (size_t i = length; i < N; ++i)
        Require(field[i] == '\0');
    // A field cut to its size may end in a blank; an uncut one never does.
    if (length > 0 && length < N - 1)
        Require(strchr(" \t\r\n", field[length - 1]) == nullptr);
    if (length > 0)
        Require(field[0] != ' ' && field[0] != '\t');
}

void FuzzNews(std::vector<char> text) {
    NewsItem items[kNewsItemsMax + 1];
    memset(items, 0x5A, sizeof(items));
    int count = ParseNewsText(text.data(), items, kNewsItemsMax);
    Require(count >= 0 && count <= kNewsItemsMax);
    for (int i = 0; i < count; ++i) {
        CheckField(items[i].tag);
        CheckField(items[i].title);
        CheckField(items[i].body);
    }
    const unsigned char* untouched = reinterpret_cast<unsigned char*>(&items[kNewsItemsMax]);
    for (size_t i = 0; i < sizeof(NewsItem); ++i)
        Require(untouched[i] == 0x5A);
}

// The C library's own reading, clamped to 32 bits, is the reference.
void FuzzBuildNumber(const std::string& text) {
    errno = 0;
    long long wide = strtoll(text.c_str(), nullptr, 10);
    long long expected = wide > INT_MAX ? INT_MAX : (wide < INT_MIN ? INT_MIN : wide);
    Require(ParseBuildNumber(text.c_str()) == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    std::vector<char> text(data + 1, data + size);
    text.push_back('\0');
    const std::string zeroEnded = text.data();
    switch (data[0]) {
        case 'm':
            FuzzManifest(text);
            break;
        case 'e':
            FuzzEncoder(zeroEnded);
            break;
        case 'n':
            FuzzNews(text);
            break;
        case 'b':
            FuzzBuildNumber(zeroEnded);
            break;
        default:
            break;
    }
    return 0;
}
