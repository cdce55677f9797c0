// The operator's public release key, built into the launcher from the build setting
// SKH_RELEASE_KEY (a DER SubjectPublicKeyInfo); kReleaseKeySize is 0 in a launcher built
// without one. The build generates its definition.
#pragma once

#include <stddef.h>

extern const unsigned char kReleaseKey[];
extern const size_t kReleaseKeySize;
// The SHA-256 of kReleaseKey in lowercase hexadecimal, which names the key in the folder's
// sequence record; empty without a key.
extern const char kReleaseKeyFingerprint[];
