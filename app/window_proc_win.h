// The main window's procedure: drag, worker notifications and the button commands.
#pragma once

#include <windows.h>

// The class the main window is registered under, with MainWndProc as its procedure.
constexpr char kWindowClassName[] = "SKH2026Patcher";

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
