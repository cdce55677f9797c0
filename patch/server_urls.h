// Addresses of the patch host: the full-client tree and the share, fixed at build time.
#pragma once

#include "build_config.h"

#ifdef SKH_TESTING
// Test builds point the same code at a local server chosen when the test runs.
extern char FULL_BASE_URL[600];
extern char SHARE_BASE_URL[600];
void SetPatchRootForTests(const char* root);
#else
#ifndef SKH_PATCH_ROOT
#error "SKH_PATCH_ROOT must be set by the build"
#endif
constexpr char FULL_BASE_URL[] = SKH_PATCH_ROOT "/skh-full/";
constexpr char SHARE_BASE_URL[] = SKH_PATCH_ROOT "/skh-share/";
#endif
