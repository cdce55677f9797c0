// Identifiers of the nine owner-drawn child buttons (child id, CtlID and WM_COMMAND low word).
#pragma once

constexpr int IDC_PLAY = 1001;
constexpr int IDC_CLOSE = 1002;
constexpr int IDC_REGISTER = 1003;
constexpr int IDC_SETUP = 1004;
constexpr int IDC_DISCORD = 1005;
constexpr int IDC_MINIMIZE = 1006;
constexpr int IDC_WEBSITE = 1007;
constexpr int IDC_FACEBOOK = 1008;
constexpr int IDC_INSTAGRAM = 1009;

// The launcher's own buttons, whose faces it draws and whose commands it handles.
constexpr bool IsLauncherButton(int id) {
    return id >= IDC_PLAY && id <= IDC_INSTAGRAM;
}
