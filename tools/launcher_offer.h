// The launcher command: shipping a launcher build and its offer, and checking a shipped offer.
#pragma once

#include <ostream>
#include <string>

#include "tools/signing.h"

struct LauncherOptions {
    std::string build;    // as given on the command line
    std::string keyPath;  // empty: an unsigned offer
    std::string exePath;
    std::string outDir;
};

// Puts a launcher and its offer into outDir/skh-share/: the executable first, then
// patcher_version.txt, each written under a hidden name and renamed into place.
int ShipLauncher(const LauncherOptions& options, std::ostream& report, std::ostream& errors);

enum class OfferCheck { Absent, Signed, Bad };

// Checks the signature of outDir/skh-share/'s offer over its launcher, when both are there.
// *text is the build number for Signed, the problem for Bad.
OfferCheck CheckLauncherOffer(const std::string& outDir, const ReleaseKey& key, std::string* text);
