// Test builds only: the patch host root is chosen when the test runs.
#include "patch/server_urls.h"

#ifdef SKH_TESTING
#include <stdio.h>

char FULL_BASE_URL[600];
char SHARE_BASE_URL[600];

void SetPatchRootForTests(const char* root) {
    snprintf(FULL_BASE_URL, sizeof(FULL_BASE_URL), "%s/skh-full/", root);
    snprintf(SHARE_BASE_URL, sizeof(SHARE_BASE_URL), "%s/skh-share/", root);
}
#endif
