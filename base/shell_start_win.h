// ShellExecuteA answers with a value above this limit when the program started, and with an
// error code of at most this value when it did not.
#pragma once

#include <windows.h>

constexpr INT_PTR kShellExecuteFailureLimit = 32;
