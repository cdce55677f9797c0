// Reading the newest launcher build number that the share announces.
#pragma once

// Reads text as atoi does: leading white space, an optional sign, then decimal digits up
// to the first other character; no digits give 0. A number beyond the 32-bit range is
// clamped to INT_MAX or INT_MIN, so a hostile file cannot provoke undefined behaviour.
int ParseBuildNumber(const char* text);
