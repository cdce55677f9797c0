// Pure rules of the manifest stage: lines, entries, the keep-or-download decision, paths.
#include "patch/manifest.h"

#include <ctype.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "base/own_files.h"
#include "patch/stage_progress.h"

int CountManifestLines(const char* text) {
    int lineFeeds = 0;
    const char* afterLast = text;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n') {
            ++lineFeeds;
            afterLast = p + 1;
        }
    }
    bool unterminated = afterLast[strspn(afterLast, "\r")] != '\0';
    int total = lineFeeds + (unterminated ? 1 : 0);
    return total == 0 ? 1 : total;
}

long long ParseSizeField(const char* field) {
    return strtoll(field, nullptr, 10);
}

bool ParseManifestEntry(char* line, ManifestEntry* entry) {
    if (line[0] == '#')
        return false;
    char* first = strchr(line, '|');
    if (first == nullptr)
        return false;
    char* second = strchr(first + 1, '|');
    if (second == nullptr)
        return false;
    *first = '\0';
    *second = '\0';
    entry->path = line;
    entry->size = ParseSizeField(first + 1);
    entry->digest = second + 1;
    return true;
}

int ManifestProgress(int n, int lineTotal) {
    int64_t capped = n < lineTotal ? n : lineTotal;
    return static_cast<int>(kManifestStartPercent + (kManifestSpanPercent * capped) / lineTotal);
}

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool AllHex(const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
        if (!IsHexDigit(*p))
            return false;
    }
    return true;
}

bool EqualsIgnoreCase(const char* a, size_t length, const char* b) {
    if (strlen(b) != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (toupper(static_cast<unsigned char>(a[i])) != b[i])
            return false;
    }
    return true;
}

// Windows opens these as devices in any folder and with any extension ("nul.txt").
bool IsDeviceName(const char* part, size_t length) {
    size_t base = 0;
    while (base < length && part[base] != '.' && part[base] != ' ')
        ++base;
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (EqualsIgnoreCase(part, base, device))
            return true;
    }
    // The superscript digits are Windows-1252 bytes B9, B2 and B3: "COM\xB9" is a port too.
    const unsigned char number = static_cast<unsigned char>(part[base == 4 ? 3 : 0]);
    return base == 4 && (EqualsIgnoreCase(part, 3, "COM") || EqualsIgnoreCase(part, 3, "LPT")) &&
           ((number >= '0' && number <= '9') || number == 0xB9 || number == 0xB2 || number == 0xB3);
}

// Windows finds a file by its 8.3 short name as well ("SKH202~1.SEQ" can be the sequence
// record): at most eight characters ending in "~" and digits, then at most three more after
// a dot. Windows drops trailing dots and blanks before it looks a name up.
bool IsShortNamePart(const char* part, size_t length) {
    while (length > 0 && (part[length - 1] == '.' || part[length - 1] == ' '))
        --length;
    size_t base = length;
    while (base > 0 && part[base - 1] != '.')
        --base;
    base = base == 0 ? length : base - 1;
    size_t digitsStart = base;
    while (digitsStart > 0 && part[digitsStart - 1] >= '0' && part[digitsStart - 1] <= '9')
        --digitsStart;
    return base <= 8 && length - base <= 4 && digitsStart < base && digitsStart > 0 &&
           part[digitsStart - 1] == '~';
}

// ".." and its spellings that Windows trims to it ("...", ".. ").
bool IsParentPart(const char* part, size_t length) {
    size_t dots = 0;
    for (size_t i = 0; i < length; ++i) {
        if (part[i] == '.') {
            ++dots;
        } else if (part[i] != ' ') {
            return false;
        }
    }
    return dots >= 2;
}

// A part Windows drops from a path, or one made only of dots and blanks (those with two dots
// or more are refused as parent parts).
bool IsDroppedPart(const char* part, size_t length) {
    return strspn(part, ". ") >= length;
}

// The launcher's own files, and names that start like them (its temporary copies, and the
// ".local" or ".manifest" files Windows reads beside a program), compared without case.
bool IsOwnName(const char* part, size_t length) {
    for (const char* own : kLauncherOwnFiles) {
        const size_t ownLength = strlen(own);
        bool same = length >= ownLength;
        for (size_t i = 0; same && i < ownLength; ++i)
            same = toupper(static_cast<unsigned char>(part[i])) ==
                   toupper(static_cast<unsigned char>(own[i]));
        if (same)
            return true;
    }
    return false;
}

}  // namespace

bool IsRefusedPath(const char* path) {
    if (path[0] == '/' || path[0] == '\\')
        return true;
    if (strchr(path, ':') != nullptr)
        return true;
    bool topLevel = true;  // no part Windows keeps has come yet
    const char* part = path;
    for (;;) {
        size_t length = strcspn(part, "/\\");
        if (IsParentPart(part, length) || IsDeviceName(part, length) ||
            IsShortNamePart(part, length))
            return true;
        if (topLevel && !IsDroppedPart(part, length)) {
            if (IsOwnName(part, length))
                return true;
            topLevel = false;
        }
        if (part[length] == '\0')
            return false;
        part += length + 1;
    }
}

bool IsLowerHexDigest(const char* field) {
    return strlen(field) == kDigestLength &&
           strspn(field, "0123456789abcdef") == static_cast<size_t>(kDigestLength);
}

EntryAction DecideEntry(bool exists, bool isDirectory, long long fileSize, long long sizeField,
                        const char* digest, bool versionChanged) {
    if (!exists || isDirectory)
        return EntryAction::Download;
    if (fileSize != sizeField)
        return EntryAction::Download;
    if (strcmp(digest, kBigDigestField) == 0 || digest[0] == '\0' || !AllHex(digest)) {
        return EntryAction::Keep;
    }
    if (!versionChanged)
        return EntryAction::Keep;
    if (sizeField > kDigestSizeLimit)
        return EntryAction::Keep;
    if (strlen(digest) != kDigestLength)
        return EntryAction::Keep;
    return EntryAction::Hash;
}

EntryAction DecideIndexedEntry(bool exists, bool isDirectory, long long fileSize,
                               long long sizeField, bool versionChanged) {
    const bool current = exists && !isDirectory && fileSize == sizeField && !versionChanged;
    return current ? EntryAction::Keep : EntryAction::Sync;
}

EntryAction DecideAfterHash(bool hashed, const char* computedDigest, const char* digestField) {
    if (!hashed)
        return EntryAction::Keep;
    return strcmp(computedDigest, digestField) == 0 ? EntryAction::Keep : EntryAction::Download;
}

bool EncodeUrlPath(const char* path, char* out, size_t outSize) {
    static const char kHex[] = "0123456789ABCDEF";
    size_t used = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(path); *p != '\0'; ++p) {
        unsigned char c = *p;
        bool plain = isalnum(c) != 0 || c == '-' || c == '.' || c == '/' || c == '_' || c == '~';
        // isalnum follows the locale; only ASCII letters and digits stay as they are.
        if (c >= 0x80)
            plain = false;
        // Room for the widest form is checked before every byte, plain or not; a path
        // that fails it would be cut, and is refused instead.
        if (used + 3 > kEncodedPathLimit || used + 3 >= outSize)
            return false;
        if (plain) {
            out[used++] = static_cast<char>(c);
        } else {
            out[used++] = '%';
            out[used++] = kHex[c >> 4];
            out[used++] = kHex[c & 0xF];
        }
    }
    out[used] = '\0';
    return true;
}
