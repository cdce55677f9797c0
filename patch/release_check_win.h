// Checking a release's signature with the launcher's built-in key, through CryptoAPI.
#pragma once

#include <stddef.h>

#include "patch/signed_release.h"

// True when the launcher carries a release key: then it takes signed releases only.
bool ReleasesAreSigned();

// True when signature (as the signed files carry it, most significant byte first) is the
// built-in key's RSA-SHA256 signature over the size bytes at data.
bool VerifyReleaseSignature(const unsigned char (&signature)[kSignatureBytes], const char* data,
                            size_t size);
