// The resources of the shipped SKH2026_Patcher.exe: the background bitmap and the icon
// group, in the formats the window code and the system rely on, and nothing else.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

#pragma pack(push, 2)
struct IconGroupHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

std::string ProductPath() {
    const char* build = getenv("SKH_BUILD_DIR");
    std::string path = "Z:";
    for (const char* c = build != nullptr ? build : ""; *c != '\0'; ++c)
        path += (*c == '/') ? '\\' : *c;
    return path + "\\SKH2026_Patcher.exe";
}

const void* ResourceData(HMODULE module, int id, LPCSTR type, DWORD* size) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (found == nullptr)
        return nullptr;
    *size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    return loaded != nullptr ? LockResource(loaded) : nullptr;
}

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR collected) {
    auto* types = reinterpret_cast<std::vector<ULONG_PTR>*>(collected);
    types->push_back(IS_INTRESOURCE(type) ? reinterpret_cast<ULONG_PTR>(type) : 0);
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
        static_cast<const BITMAPINFOHEADER*>(ResourceData(module, 101, RT_BITMAP, &size));
    ASSERT_NE(header, nullptr);
    ASSERT_GE(size, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(header->biWidth, 820);
    EXPECT_EQ(header->biHeight, 520);  // positive: rows stored bottom-up
    EXPECT_EQ(header->biBitCount, 24);
    EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(size, header->biSize + 820u * 3u * 520u);

    // Loaded the way WinMain loads it.
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(101), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    DIBSECTION section = {};
    ASSERT_EQ(GetObjectA(bitmap, sizeof(section), &section), static_cast<int>(sizeof(section)));
    EXPECT_EQ(section.dsBm.bmWidth, 820);
    EXPECT_EQ(section.dsBm.bmHeight, 520);
    DeleteObject(bitmap);
}

TEST_F(ResourcesTest, IconGroupHoldsOne32x32ImageAt32Bits) {
    DWORD size = 0;
    const auto* group =
        static_cast<const IconGroupHeader*>(ResourceData(module, 102, RT_GROUP_ICON, &size));
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(size, sizeof(IconGroupHeader) + sizeof(IconGroupEntry));
    EXPECT_EQ(group->type, 1);
    ASSERT_EQ(group->count, 1);
    const auto* entry = reinterpret_cast<const IconGroupEntry*>(group + 1);
    EXPECT_EQ(entry->width, 32);
    EXPECT_EQ(entry->height, 32);
    EXPECT_EQ(entry->bitCount, 32);

    HICON icon = static_cast<HICON>(
        LoadImageA(module, MAKEINTRESOURCEA(102), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    ASSERT_NE(icon, nullptr);
    DestroyIcon(icon);
}

TEST_F(ResourcesTest, NoOtherResourceTypes) {
    std::vector<ULONG_PTR> types;
    EnumResourceTypesA(module, CollectType, reinterpret_cast<LONG_PTR>(&types));
    // The icon group brings its one image as an RT_ICON entry.
    std::sort(types.begin(), types.end());
    std::vector<ULONG_PTR> expected = {reinterpret_cast<ULONG_PTR>(RT_BITMAP),
                                       reinterpret_cast<ULONG_PTR>(RT_ICON),
                                       reinterpret_cast<ULONG_PTR>(RT_GROUP_ICON)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(types, expected);
}

}  // namespace
