// Reading the signature lines of a signed release: the manifest's and the launcher offer's.
#pragma once

#include <stddef.h>

#include "base/digest.h"

// RSA 3072 with SHA-256 and PKCS#1 v1.5 padding, written as lowercase hexadecimal digits.
constexpr size_t kSignatureBytes = 384;
constexpr size_t kSignatureHexLength = 2 * kSignatureBytes;
constexpr size_t kSequenceDigitsLimit = 18;  // every such number fits a long long

// Tag lines are "#" comments, which launchers without a key skip.
constexpr char kSequenceTag[] = "#@sequence ";
constexpr char kVersionTag[] = "#@version ";
constexpr char kSignatureTag[] = "#@signature ";
// The lines of the launcher offer's signed message.
constexpr char kBuildTag[] = "#@build ";
constexpr char kSizeTag[] = "#@size ";
constexpr char kSha256Tag[] = "#@sha256 ";

struct SignedManifest {
    size_t signedLength;  // the bytes before the signature line, which the signature covers
    long long sequence;
    const char* version;  // into the text, versionLength bytes, not terminated
    size_t versionLength;
    unsigned char signature[kSignatureBytes];  // big-endian, as libcrypto writes it
};

// Reads a signed manifest of `length` bytes (any bytes; no terminating zero needed). True
// only when the last line, followed by at most one LF, is the signature line with
// kSignatureHexLength lowercase digits, and the signed part holds exactly one sequence line
// (1 to 18 digits) and one non-empty version line, both before the first entry. False for
// any other "#@" line but chunk index lines, and for any CR or zero byte in the text.
bool ReadSignedManifest(const char* text, size_t length, SignedManifest* out);

// The folder's sequence record names the key that took the release: "<fingerprint> <sequence>",
// the key's kFingerprintLength lowercase hexadecimal digits, one blank, 1 to 18 decimal digits.
// A launcher with another key so starts from that key's own record, and a record a leaked key
// has pushed up holds back only launchers that still trust that key.
constexpr size_t kFingerprintLength = 64;  // SHA-256
constexpr size_t kSequenceRecordLimit = kFingerprintLength + 1 + kSequenceDigitsLimit;

enum class SequenceRecord { None, Taken, Unreadable };

// Reads a sequence record of length bytes for the key with this fingerprint: None for an empty
// one, one of another key or the bare number older launchers wrote, Taken with *sequence for one of
// this key, Unreadable for anything but the form WriteSequenceRecord gives (which must hold every
// release back, as no record would let any through).
SequenceRecord ReadSequenceRecord(const char* text, size_t length, const char* fingerprint,
                                  long long* sequence);

// Writes the record into out (kSequenceRecordLimit + 1 bytes) and returns its length.
size_t WriteSequenceRecord(const char* fingerprint, long long sequence, char* out);

// "#@build 2147483647\n#@size <19 digits>\n#@sha256 <64 digits>\n" and its zero.
constexpr size_t kOfferMessageSize = 128;
constexpr long long kOfferSizeLimit = 1LL << 40;

struct LauncherOffer {
    int build;
    long long size;                   // of the offered executable
    char sha256[kSha256Length + 1];   // of the offered executable, lowercase digits
    char message[kOfferMessageSize];  // what the signature covers, zero-terminated
    size_t messageLength;
    unsigned char signature[kSignatureBytes];
};

// Reads a signed patcher_version.txt: a first line of decimal digits only (1 to INT_MAX,
// leading zeros allowed), "#@size S" (1 to kOfferSizeLimit), "#@sha256 H" (64 lowercase
// digits), then the signature line as in a manifest, and nothing else. The signature covers
// the message WriteOfferMessage gives for them, so the executable's size is known and signed
// before a byte of it is fetched.
bool ReadLauncherOffer(const char* text, size_t length, LauncherOffer* out);

// Writes "#@build N\n#@size S\n#@sha256 H\n" in canonical decimal into out (kOfferMessageSize
// bytes) and returns its length; 0 for a build or size out of range or a digest that is not
// kSha256Length lowercase digits.
size_t WriteOfferMessage(int build, long long size, const char* sha256, char* out);
