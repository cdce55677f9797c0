// The publishing tool's main commands: publish a client tree, verify a published tree.
#pragma once

#include <ostream>
#include <string>

constexpr int kExitOk = 0;
constexpr int kExitProblems = 1;  // refused names, a failed copy, or a tree that fails verify
constexpr int kExitUsage = 2;

struct PublishOptions {
    std::string clientDir;
    std::string outDir;   // the web root: the tree goes to outDir/skh-full/
    std::string version;  // empty: bump the published version, or start at 1
    int threads;          // 0: one per core
    std::string keyPath;  // a private key to sign the manifest with; empty: unsigned
};

// Writes outDir/skh-full/ (files, manifest.txt, version.txt) in a staging folder and swaps
// it in only when everything was written, so a failure leaves the old tree served.
int PublishClient(const PublishOptions& options, std::ostream& report, std::ostream& errors);

// Checks outDir/skh-full/ against its manifest: every entry present with its size and
// digest, and nothing unlisted. With a public key also the manifest's signature, its signed
// version against version.txt, and the launcher offer in outDir/skh-share/ when there is one,
// under launcherKeyPath when given (after a key change the offer keeps the old key).
int VerifyTree(const std::string& outDir, int threads, const std::string& keyPath,
               const std::string& launcherKeyPath, std::ostream& report, std::ostream& errors);
