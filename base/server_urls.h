// Addresses of the patch host: the full-client tree and the share, each ending in a slash.
// The launcher's are fixed when it is built (base/server_urls.cpp); the test build links
// tests/seams/ instead, which points the same code at a local server.
#pragma once

extern const char* const kFullBaseUrl;
extern const char* const kShareBaseUrl;

// Room for the address of a control file (version, manifest, build number, news).
constexpr int kControlAddressSize = 1024;
