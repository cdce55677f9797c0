// The resources of the shipped SKH2026_Patcher.exe: the background and the icon in the formats
// the window code relies on, the application manifest and the version information.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string ProductPath() {
    std::string path = "Z:" + std::string(getenv("SKH_BUILD_DIR")) + "/SKH2026_Patcher.exe";
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string Resource(HMODULE module, int id, LPCSTR type) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    if (loaded == nullptr)
        return "";
    return std::string(static_cast<const char*>(LockResource(loaded)),
                       SizeofResource(module, found));
}

TEST(ResourcesTest, PictureIconManifestAndVersionAsWindowsReadsThem) {
    ASSERT_NE(getenv("SKH_BUILD_DIR"), nullptr) << "run through ctest";
    HMODULE module = LoadLibraryExA(ProductPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << ProductPath();

    // 820 x 520, 24 bits, uncompressed and bottom-up (a positive height).
    std::string bitmap = Resource(module, 101, RT_BITMAP);
    ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER));
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bitmap.data());
    EXPECT_EQ(header->biWidth, 820);
    EXPECT_EQ(header->biHeight, 520);
    EXPECT_EQ(header->biBitCount, 24);
    EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(bitmap.size(), header->biSize + 820u * 3u * 520u);

    // One 32 x 32 image: a 6-byte header, then one 14-byte entry.
    std::string group = Resource(module, 102, RT_GROUP_ICON);
    ASSERT_EQ(group.size(), 20u);
    EXPECT_EQ(group[4], 1);
    EXPECT_EQ(group[6], 32);
    EXPECT_EQ(group[7], 32);
    HICON icon = static_cast<HICON>(
        LoadImageA(module, MAKEINTRESOURCEA(102), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    EXPECT_NE(icon, nullptr);
    DestroyIcon(icon);

    // Without a requested level Windows would take the "Patcher" for an installer.
    std::string manifest = Resource(module, 1, RT_MANIFEST);
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
    for (const char* windows7to11 :
         {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(manifest.find(windows7to11), std::string::npos);
    FreeLibrary(module);

    DWORD unused = 0;
    std::vector<char> version(GetFileVersionInfoSizeA(ProductPath().c_str(), &unused));
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(GetFileVersionInfoA(ProductPath().c_str(), 0, version.size(), version.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(version.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 4);  // the default build number
    char* name = nullptr;
    ASSERT_TRUE(VerQueryValueA(version.data(), "\\StringFileInfo\\040904E4\\ProductName",
                               reinterpret_cast<void**>(&name), &size));
    EXPECT_STREQ(name, "Skarnevo Kelmoran Heritage 2026");
}

}  // namespace
