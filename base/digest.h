// The digests the manifest carries: SHA-1 for each file, SHA-256 for the chunks of big ones,
// written as lowercase hexadecimal digits.
#pragma once

constexpr int kDigestBytes = 20;
constexpr int kDigestLength = 2 * kDigestBytes;

// The digest of a big file's chunks, of the whole file behind them, and of its chunk index.
constexpr int kSha256Bytes = 32;
constexpr int kSha256Length = 2 * kSha256Bytes;
