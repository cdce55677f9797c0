// Reading the signature lines of a signed release: the manifest's and the launcher offer's.
#include "patch/signed_release.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "base/decimal.h"
#include "patch/chunk_index.h"

namespace {

constexpr size_t kSignatureTagLength = sizeof(kSignatureTag) - 1;

bool StartsWith(const char* line, size_t length, const char* tag) {
    size_t tagLength = strlen(tag);
    return length >= tagLength && memcmp(line, tag, tagLength) == 0;
}

// 1 to kSequenceDigitsLimit decimal digits, so that the value fits a long long.
bool ReadSequenceNumber(const char* digits, size_t count, long long* out) {
    return count <= kSequenceDigitsLimit && ParseDecimal(digits, count, 0, LLONG_MAX, out);
}

int LowerHexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Both readers treat the text as LF-separated lines; a CR or a zero byte would let the
// launcher's C-string line reader see other lines than these readers do.
bool HasForeignBreaks(const char* text, size_t length) {
    return memchr(text, '\0', length) != nullptr || memchr(text, '\r', length) != nullptr;
}

// The signature line that ends the text, optionally followed by one LF. *lineStart is the
// offset of that line, which is also the length of the signed part before it.
bool ReadSignatureLine(const char* text, size_t length, size_t* lineStart,
                       unsigned char* signature) {
    size_t end = length;
    if (end > 0 && text[end - 1] == '\n')
        --end;
    size_t start = end;
    while (start > 0 && text[start - 1] != '\n')
        --start;
    if (!StartsWith(text + start, end - start, kSignatureTag) ||
        end - start - kSignatureTagLength != kSignatureHexLength) {
        return false;
    }
    const char* hex = text + start + kSignatureTagLength;
    for (size_t i = 0; i < kSignatureBytes; ++i) {
        int high = LowerHexValue(hex[2 * i]);
        int low = LowerHexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        signature[i] = static_cast<unsigned char>(high << 4 | low);
    }
    *lineStart = start;
    return true;
}

}  // namespace

bool ReadSignedManifest(const char* text, size_t length, SignedManifest* out) {
    if (HasForeignBreaks(text, length) ||
        !ReadSignatureLine(text, length, &out->signedLength, out->signature)) {
        return false;
    }
    bool haveSequence = false;
    bool haveVersion = false;
    bool entrySeen = false;
    // The signed part is empty or ends with the LF before the signature line.
    for (size_t start = 0; start < out->signedLength;) {
        const char* line = text + start;
        const char* lineEnd =
            static_cast<const char*>(memchr(line, '\n', out->signedLength - start));
        if (lineEnd == nullptr)
            return false;
        const size_t lineLength = static_cast<size_t>(lineEnd - line);
        start += lineLength + 1;
        // A chunk index line stands before its entry, anywhere among the entries.
        if (!StartsWith(line, lineLength, "#@") || StartsWith(line, lineLength, kChunksTag)) {
            entrySeen = entrySeen || (lineLength > 0 && line[0] != '#');
            continue;
        }
        if (entrySeen)
            return false;
        if (StartsWith(line, lineLength, kSequenceTag)) {
            if (haveSequence ||
                !ReadSequenceNumber(line + strlen(kSequenceTag), lineLength - strlen(kSequenceTag),
                                    &out->sequence)) {
                return false;
            }
            haveSequence = true;
        } else if (StartsWith(line, lineLength, kVersionTag)) {
            out->version = line + strlen(kVersionTag);
            out->versionLength = lineLength - strlen(kVersionTag);
            if (haveVersion || out->versionLength == 0)
                return false;
            haveVersion = true;
        } else {
            // A second signature line, or a tag this reader does not know.
            return false;
        }
    }
    return haveSequence && haveVersion;
}

bool ReadLauncherOffer(const char* text, size_t length, LauncherOffer* out) {
    if (HasForeignBreaks(text, length))
        return false;
    // The three lines before the signature, each up to its LF.
    const char* lines[3];
    size_t lengths[3];
    const char* at = text;
    for (int i = 0; i < 3; ++i) {
        const char* end = static_cast<const char*>(memchr(at, '\n', length - (at - text)));
        if (end == nullptr)
            return false;
        lines[i] = at;
        lengths[i] = static_cast<size_t>(end - at);
        at = end + 1;
    }
    constexpr size_t kSizeTagLength = sizeof(kSizeTag) - 1;
    constexpr size_t kSha256TagLength = sizeof(kSha256Tag) - 1;
    long long build = 0;
    size_t signatureStart;
    if (!ParseDecimal(lines[0], lengths[0], 1, INT_MAX, &build) ||
        !StartsWith(lines[1], lengths[1], kSizeTag) ||
        !ParseDecimal(lines[1] + kSizeTagLength, lengths[1] - kSizeTagLength, 1, kOfferSizeLimit,
                      &out->size) ||
        !StartsWith(lines[2], lengths[2], kSha256Tag) ||
        lengths[2] != kSha256TagLength + kSha256Length ||
        !ReadSignatureLine(text, length, &signatureStart, out->signature) ||
        signatureStart != static_cast<size_t>(at - text)) {
        return false;
    }
    memcpy(out->sha256, lines[2] + kSha256TagLength, kSha256Length);
    out->sha256[kSha256Length] = '\0';
    out->build = static_cast<int>(build);
    out->messageLength = WriteOfferMessage(out->build, out->size, out->sha256, out->message);
    return out->messageLength > 0;
}

size_t WriteOfferMessage(int build, long long size, const char* sha256, char* out) {
    out[0] = '\0';
    if (build < 1 || size < 1 || size > kOfferSizeLimit || strlen(sha256) != kSha256Length)
        return 0;
    for (size_t i = 0; i < kSha256Length; ++i) {
        if (LowerHexValue(sha256[i]) < 0)
            return 0;
    }
    return static_cast<size_t>(snprintf(out, kOfferMessageSize, "%s%d\n%s%lld\n%s%s\n", kBuildTag,
                                        build, kSizeTag, size, kSha256Tag, sha256));
}

SequenceRecord ReadSequenceRecord(const char* text, size_t length, const char* fingerprint,
                                  long long* sequence) {
    // Launchers before the fingerprint wrote the bare number, of a key nobody can name now:
    // such a folder starts as a new one would, rather than being locked out of every release.
    long long legacy;
    if (length == 0 || ReadSequenceNumber(text, length, &legacy))
        return SequenceRecord::None;
    // Only the form WriteSequenceRecord gives: no leading zero either.
    const char* digits = text + kFingerprintLength + 1;
    if (length <= kFingerprintLength + 1 || text[kFingerprintLength] != ' ' ||
        (digits[0] == '0' && length > kFingerprintLength + 2) ||
        !ReadSequenceNumber(digits, length - kFingerprintLength - 1, sequence)) {
        return SequenceRecord::Unreadable;
    }
    for (size_t i = 0; i < kFingerprintLength; ++i) {
        if (LowerHexValue(text[i]) < 0)
            return SequenceRecord::Unreadable;
    }
    const bool thisKey = strlen(fingerprint) == kFingerprintLength &&
                         memcmp(text, fingerprint, kFingerprintLength) == 0;
    return thisKey ? SequenceRecord::Taken : SequenceRecord::None;
}

size_t WriteSequenceRecord(const char* fingerprint, long long sequence, char* out) {
    return static_cast<size_t>(snprintf(out, kSequenceRecordLimit + 1, "%.*s %lld",
                                        static_cast<int>(kFingerprintLength), fingerprint,
                                        sequence));
}
