// Pure rules of the publishing tool: names, manifest lines and version lines.
#include "tools/publish_names.h"

#include <stdio.h>
#include <string.h>

#include "base/game_path.h"
#include "base/own_files.h"
#include "patch/manifest.h"

namespace {

// Windows-1252 bytes 0x80 to 0x9F and the characters they stand for; zero marks the five
// bytes that have none.
const uint16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

bool EncodeCodePoint(uint32_t codePoint, std::string* out) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        out->push_back(static_cast<char>(codePoint));
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        if (kWindows1252High[i] != 0 && kWindows1252High[i] == codePoint) {
            out->push_back(static_cast<char>(0x80 + i));
            return true;
        }
    }
    return false;
}

// Reads one character at *i and moves past it; false for bytes that are not UTF-8,
// over-long forms and surrogates.
bool DecodeUtf8(const std::string& text, size_t* i, uint32_t* codePoint) {
    unsigned char lead = static_cast<unsigned char>(text[*i]);
    int extra;
    if (lead < 0x80) {
        extra = 0;
        *codePoint = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        *codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        *codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        *codePoint = lead & 0x07;
    } else {
        return false;
    }
    if (extra > 0 && *i + extra >= text.size())
        return false;
    for (int k = 1; k <= extra; ++k) {
        unsigned char next = static_cast<unsigned char>(text[*i + k]);
        if ((next & 0xC0) != 0x80)
            return false;
        *codePoint = (*codePoint << 6) | (next & 0x3F);
    }
    if ((extra == 2 && *codePoint < 0x800) || (extra == 3 && *codePoint < 0x10000) ||
        (*codePoint >= 0xD800 && *codePoint <= 0xDFFF) || *codePoint > 0x10FFFF) {
        return false;
    }
    *i += extra + 1;
    return true;
}

bool IsValidUtf8(const std::string& text) {
    size_t i = 0;
    uint32_t codePoint;
    while (i < text.size()) {
        if (!DecodeUtf8(text, &i, &codePoint))
            return false;
    }
    return true;
}

bool EndsWithDotOrSpace(const std::string& part) {
    return !part.empty() && (part.back() == '.' || part.back() == ' ');
}

}  // namespace

bool Utf8ToWindows1252(const std::string& utf8, std::string* out) {
    out->clear();
    size_t i = 0;
    uint32_t codePoint;
    while (i < utf8.size()) {
        if (!DecodeUtf8(utf8, &i, &codePoint) || !EncodeCodePoint(codePoint, out))
            return false;
    }
    return true;
}

std::string PublishedPathProblem(const std::string& path) {
    if (path.empty())
        return "the name is empty";
    if (path.find('|') != std::string::npos)
        return "a \"|\" would split the manifest line";
    for (unsigned char c : path) {
        if (c == '\r' || c == '\n')
            return "a line break would split the manifest line";
        if (c < 0x20)
            return "control characters cannot be stored in a Windows file name";
    }
    const std::string folded = FoldCaseWindows1252(path);
    if (folded == "MANIFEST.TXT" || folded == "VERSION.TXT")
        return "the tree's own manifest.txt and version.txt take this place on the server";
    const std::string part = FoldCaseWindows1252(kPartFileSuffix);
    if (folded.size() >= part.size() &&
        folded.compare(folded.size() - part.size(), part.size(), part) == 0)
        return "the launcher assembles a big file under its name followed by " +
               std::string(kPartFileSuffix);
    if (path[0] == '#')
        return "a line starting with \"#\" is a comment to the launcher";
    if (path.find(':') != std::string::npos)
        return "a \":\" names a drive or a stream on Windows";
    if (path.find('\\') != std::string::npos)
        return "a backslash is a folder separator on Windows";
    if (path.find_first_of("<>\"?*") != std::string::npos)
        return "the characters < > \" ? * cannot be stored in a Windows file name";
    if (IsRefusedPath(path.c_str()))
        return "the launcher refuses this path (a \"..\" part, a device name such as NUL or "
               "COM\u00B9, a short name such as DATA~1.PAK, or a name of the launcher's own)";
    size_t start = 0;
    for (;;) {
        size_t end = path.find('/', start);
        std::string part = path.substr(start, end == std::string::npos ? end : end - start);
        if (EndsWithDotOrSpace(part))
            return "Windows drops a dot or blank at the end of a name";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    char local[kPathSize];
    if (!GameFolderPath(kAssumedGameDir, path.c_str(), local, sizeof(local)))
        return "the local path would be longer than 259 characters in " +
               std::string(kAssumedGameDir);
    char encoded[kEncodedPathLimit + 1];
    if (!EncodeUrlPath(path.c_str(), encoded, sizeof(encoded)))
        return "the encoded address would be too long";
    return "";
}

bool IsLauncherOwnFile(const std::string& path) {
    std::string folded = FoldCaseWindows1252(path);
    for (const char* own : kLauncherOwnFiles) {
        if (folded == FoldCaseWindows1252(own))
            return true;
    }
    return false;
}

std::string FoldCaseWindows1252(const std::string& path) {
    std::string out = path;
    for (char& c : out) {
        unsigned char byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7)) {
            byte -= 0x20;
        } else if (byte == 0x9A || byte == 0x9C || byte == 0x9E) {
            byte -= 0x10;  // š œ ž to Š Œ Ž
        } else if (byte == 0xFF) {
            byte = 0x9F;  // ÿ to Ÿ
        }
        c = static_cast<char>(byte);
    }
    return out;
}

bool ListsDigest(int64_t bytes, bool everyDigest) {
    return everyDigest || bytes <= kDigestSizeLimit;
}

std::string ManifestLine(const std::string& path, int64_t size, const std::string& digest,
                         bool everyDigest) {
    std::string line = path + "|" + std::to_string(size) + "|";
    line += ListsDigest(size, everyDigest) ? digest : std::string(kBigDigestField);
    return line + "\n";
}

std::string VersionProblem(const std::string& version) {
    if (version.empty())
        return "the version line is empty";
    if (version.find_first_of("\r\n") != std::string::npos)
        return "the version must be a single line";
    if (version.size() > kVersionLimit) {
        return "the version is longer than " + std::to_string(kVersionLimit) +
               " bytes, so every start would count as a new version";
    }
    return "";
}

bool BumpVersion(const std::string& version, std::string* out) {
    size_t digitsStart = version.size();
    while (digitsStart > 0 && version[digitsStart - 1] >= '0' && version[digitsStart - 1] <= '9')
        --digitsStart;
    if (digitsStart == version.size())
        return false;
    // Decimal addition on the text itself, so any length of number works.
    std::string number = version.substr(digitsStart);
    int carry = 1;
    for (size_t i = number.size(); i-- > 0 && carry;) {
        int digit = number[i] - '0' + carry;
        carry = digit / 10;
        number[i] = static_cast<char>('0' + digit % 10);
    }
    if (carry)
        number.insert(number.begin(), '1');
    *out = version.substr(0, digitsStart) + number;
    return true;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find_first_of(std::string("\r\n\0", 3)));
}

std::string PrintableName(const std::string& name) {
    // A name that is UTF-8 reads best as it is; anything else shows its bytes.
    bool utf8 = IsValidUtf8(name);
    std::string out;
    for (unsigned char c : name) {
        if ((c >= 0x20 && c < 0x7F) || (utf8 && c >= 0x80)) {
            out.push_back(static_cast<char>(c));
        } else {
            char escaped[5];
            snprintf(escaped, sizeof(escaped), "\\x%02X", c);
            out += escaped;
        }
    }
    return out;
}
