// The resources of the shipped SKH2026_Patcher.exe: the background bitmap and the icon
// group, in the formats the window code and the system rely on, and nothing else.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string ProductPath() {
    std::string path = "Z:";
    for (const char* c = getenv("SKH_BUILD_DIR"); c != nullptr && *c != '\0'; ++c)
        path += (*c == '/') ? '\\' : *c;
    return path + "\\SKH2026_Patcher.exe";
}

const BYTE* ResourceData(HMODULE module, int id, LPCSTR type, DWORD* size) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (found == nullptr)
        return nullptr;
    *size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    return loaded != nullptr ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
}

WORD WordAt(const BYTE* data, int offset) {
    return static_cast<WORD>(data[offset] | (data[offset + 1] << 8));
}

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR collected) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(collected)->push_back(
        IS_INTRESOURCE(type) ? reinterpret_cast<ULONG_PTR>(type) : 0);
    return TRUE;
}

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getenv("SKH_BUILD_DIR"), nullptr) << "run through ctest";
        module = LoadLibraryExA(ProductPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << ProductPath();
    }
    void TearDown() override {
        if (module != nullptr)
            FreeLibrary(module);
    }
    HMODULE module = nullptr;
};

TEST_F(ResourcesTest, BackgroundIs820x520At24BitsUncompressedBottomUp) {
    DWORD size = 0;
    const auto* header =
        reinterpret_cast<const BITMAPINFOHEADER*>(ResourceData(module, 101, RT_BITMAP, &size));
    ASSERT_NE(header, nullptr);
    ASSERT_GE(size, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(header->biWidth, 820);
    EXPECT_EQ(header->biHeight, 520);  // positive: rows stored bottom-up
    EXPECT_EQ(header->biBitCount, 24);
    EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(size, header->biSize + 820u * 3u * 520u);

    // Loading it is checked end to end, where the window shows it.
}

TEST_F(ResourcesTest, IconGroupHoldsOne32x32ImageAt32Bits) {
    DWORD size = 0;
    const BYTE* group = ResourceData(module, 102, RT_GROUP_ICON, &size);
    ASSERT_NE(group, nullptr);
    // A 6-byte header (reserved, type, count), then one 14-byte entry: width and height
    // bytes, colour count, reserved, planes, bit count, size in bytes and the image's id.
    ASSERT_EQ(size, 6u + 14u);
    EXPECT_EQ(WordAt(group, 2), 1);
    ASSERT_EQ(WordAt(group, 4), 1);
    EXPECT_EQ(group[6], 32);
    EXPECT_EQ(group[7], 32);
    EXPECT_EQ(WordAt(group, 12), 32);

    HICON icon = static_cast<HICON>(
        LoadImageA(module, MAKEINTRESOURCEA(102), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    ASSERT_NE(icon, nullptr);
    DestroyIcon(icon);
}

TEST_F(ResourcesTest, NoOtherResourceTypes) {
    std::vector<ULONG_PTR> types;
    EnumResourceTypesA(module, CollectType, reinterpret_cast<LONG_PTR>(&types));
    // The icon group brings its one image as an RT_ICON entry.
    std::vector<ULONG_PTR> expected = {reinterpret_cast<ULONG_PTR>(RT_BITMAP),
                                       reinterpret_cast<ULONG_PTR>(RT_ICON),
                                       reinterpret_cast<ULONG_PTR>(RT_GROUP_ICON)};
    std::sort(types.begin(), types.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(types, expected);
}

}  // namespace
