// The publish command, and the exit status that every command of the tool returns.
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

// Writes outDir/skh-full/ (files, manifest.txt, version.txt) in a staging folder, flushes it
// to disk and swaps it in only when everything was written, so a failure leaves the old tree
// served. Signing takes its sequence number from the counter beside the key.
int PublishClient(const PublishOptions& options, std::ostream& report, std::ostream& errors);
