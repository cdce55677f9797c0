// The keygen command: a new release key pair and its sequence counter.
#pragma once

#include <ostream>
#include <string>

// Writes keyDir/release_private.pem (PKCS#8, mode 0600), keyDir/release_public.der and the
// sequence counter at 0 beside them, and never replaces an existing key.
int MakeKeyPair(const std::string& keyDir, std::ostream& report, std::ostream& errors);
