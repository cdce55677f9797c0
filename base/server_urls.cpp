// The patch host the operator built the launcher for.
#include "base/server_urls.h"

#include "base/server_files.h"
#include "build_config.h"

const char* const kFullBaseUrl = SKH_PATCH_ROOT "/" SKH_FULL_TREE "/";
const char* const kShareBaseUrl = SKH_PATCH_ROOT "/" SKH_SHARE_TREE "/";
