// The file digest the manifest carries: SHA-1, written as lowercase hexadecimal digits.
#pragma once

constexpr int kDigestBytes = 20;
constexpr int kDigestLength = 2 * kDigestBytes;
