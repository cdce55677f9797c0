// The batch script that swaps in a downloaded launcher once the running one has ended.
#include "patch/update_script.h"

// Waits while a launcher process is alive (one ping pass is about a second), then moves the
// new build over the old one, starts it and deletes itself.
const char kUpdateScript[] =
    "@echo off\r\n"
    "chcp 65001 >nul 2>&1\r\n"
    "cd /d \"%~dp0\"\r\n"
    ":wait\r\n"
    "tasklist /fi \"imagename eq SKH2026_Patcher.exe\" 2>nul | find /i \"SKH2026_Patcher.exe\" "
    ">nul\r\n"
    "if not errorlevel 1 (\r\n"
    "  ping -n 2 127.0.0.1 >nul\r\n"
    "  goto wait\r\n"
    ")\r\n"
    "move /y \"SKH2026_Patcher.new.exe\" \"SKH2026_Patcher.exe\" >nul\r\n"
    "start \"\" \"SKH2026_Patcher.exe\"\r\n"
    "del \"%~f0\"\r\n";

static_assert(sizeof(kUpdateScript) == kUpdateScriptSize + 1, "the script must stay 320 bytes");
