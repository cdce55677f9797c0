// Every text the player reads, in one place for whoever translates the launcher. The texts are
// 8-bit Windows-1252; the formats take the arguments their comments name.
#pragma once

#include "base/own_files.h"

// Window and warning boxes.
constexpr char kWindowTitle[] = "Skarnevo Kelmoran Heritage 2026";
constexpr char kWarningCaption[] = "SKH 2026";
constexpr char kGameClientMissing[] =
    SKH_GAME_CLIENT_FILE " belum lengkap. Tunggu patch selesai / jalankan ulang.";
constexpr char kSettingsToolMissing[] = SKH_SETTINGS_TOOL_FILE " tidak ditemukan di folder game.";
constexpr char kGameClientNotStartedFormat[] =
    SKH_GAME_CLIENT_FILE " tidak bisa dijalankan (kode %d). Jalankan ulang launcher.";  // code

// Status line, in the order a patch run can show them.
// A macro: the status text array of LauncherState starts with it.
#define SKH_STATUS_STARTING "Memulai..."
constexpr char kStatusFolderTooLong[] =
    "Folder game terlalu panjang. Pindahkan game ke folder yang lebih pendek.";
constexpr char kStatusFolderNotWritable[] =
    "Folder game tidak bisa ditulis. Pindahkan game atau jalankan sebagai administrator.";
constexpr char kStatusSelfUpdate[] = "Memperbarui launcher...";
constexpr char kStatusSelfUpdateFailed[] = "Update launcher gagal. Lanjut dengan versi ini.";
constexpr char kStatusVersionCheck[] = "Mengecek versi server...";
constexpr char kStatusOffline[] = "Server offline. Cek koneksi internet.";
constexpr char kStatusManifestFetch[] = "Mengecek file game...";
constexpr char kStatusManifestFailed[] = "Gagal ambil daftar file.";
constexpr char kStatusCheckingFormat[] = "Memeriksa file... (%d/%d)";  // entry n, line total N
constexpr char kStatusDownloadingFormat[] = "Mengunduh: %s";           // manifest path
constexpr char kStatusMegabytesFormat[] =
    "Mengunduh data game...  %lld / %lld MB";  // MiB received, MiB expected
constexpr char kStatusRuntimeInstall[] = "Memasang Visual C++ Redist...";
constexpr char kStatusRuntimeRefused[] =
    "Installer Visual C++ tidak cocok dengan rilis resmi, dilewati.";
constexpr char kStatusFailedFormat[] =
    "Selesai, tapi %d file gagal. Klik MAIN/ulang.";  // failed files
constexpr char kStatusUpdatedFormat[] =
    "Update selesai (%d file). Siap dimainkan!";  // downloaded files
constexpr char kStatusUpToDate[] = "File lengkap & terbaru. Siap dimainkan!";

// The painted frame.
constexpr char kLogoWord[] = "SKARNEVO";
constexpr char kTitleLine[] = "KELMORAN HERITAGE";
constexpr char kSubtitle[] = "Kovan-Drift \xB7 Rates 4x \xB7 Classic Realm";
constexpr char kNewsHeader[] = "BERITA & EVENT";
constexpr char kNewsLoading[] = "Memuat berita & event...";
constexpr char kNewsWelcomeTitle[] = "Selamat datang di Skarnevo Kelmoran Heritage!";
constexpr char kNewsWelcomeBody[] = "Berita & event tampil di sini saat online. Selamat bermain.";

// Button faces.
constexpr char kPlayReady[] = "MAIN";
constexpr char kPlayWaiting[] = "MEMERIKSA...";
constexpr char kLabelWebsite[] = "WEBSITE";
constexpr char kLabelRegister[] = "DAFTAR";
constexpr char kLabelDiscord[] = "DISCORD";
constexpr char kLabelFacebook[] = "FACEBOOK";
constexpr char kLabelInstagram[] = "INSTAGRAM";
