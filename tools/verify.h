// The verify command: a published tree held against its manifest, by the launcher's reader.
#pragma once

#include <ostream>
#include <string>

// Checks outDir/skh-full/ against its manifest: every entry present with its size and
// digest, the digest field as publish writes it, and nothing unlisted. With a public key also
// the manifest's signature, its signed version against version.txt, and the launcher offer in
// outDir/skh-share/ when there is one, under launcherKeyPath when given (after a key change
// the offer keeps the old key).
int VerifyTree(const std::string& outDir, int threads, const std::string& keyPath,
               const std::string& launcherKeyPath, std::ostream& report, std::ostream& errors);
