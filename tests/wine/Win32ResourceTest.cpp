// The resources that Windows itself reads from the program: the manifest,
// the version, and the icon group, menu and banners that the windows load.
#include "res/ResourceIds.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

// The system's headers first, the platform's after: either order builds, and
// the numbers agree.
#include "platform/gui/Dialog.h"
#include "platform/gui/Menu.h"
#include "platform/gui/SystemNumbers.h"

static_assert(WM_COMMAND == 0x0111 && MF_GRAYED == 1 && MB_ICONWARNING == 0x30 && WS_TABSTOP == 0x00010000);

namespace {

// The test program carries the same resources as Quillmark.exe.
std::string ResourceBytes(LPCWSTR type, int id)
{
    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
    if (!found)
        return {};
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    return std::string(bytes, SizeofResource(nullptr, found));
}

std::wstring VersionText(const std::vector<char>& block, const wchar_t* name)
{
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904E4\\") + name;
    void* value = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &size) || !size)
        return {};
    return static_cast<const wchar_t*>(value);
}

TEST(WindowsResources, TheManifestAsksForCommonControls6AsTheInvoker)
{
    const std::string manifest = ResourceBytes(MAKEINTRESOURCEW(24), 1);
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\" uiAccess=\"false\""), std::string::npos);
}

TEST(WindowsResources, TheVersionIs2AndNamesTheProgram)
{
    std::vector<char> block(ResourceBytes(MAKEINTRESOURCEW(16), 1).size() * 2 + 64);
    const std::string bytes = ResourceBytes(MAKEINTRESOURCEW(16), 1);
    ASSERT_FALSE(bytes.empty());
    std::copy(bytes.begin(), bytes.end(), block.begin());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000000u);
    EXPECT_EQ(VersionText(block, L"ProductVersion"), L"2.0");
    EXPECT_EQ(VersionText(block, L"InternalName"), L"Quillmark");
}

TEST(WindowsResources, TheWindowsFindTheirIconMenuStringAndBanners)
{
    EXPECT_NE(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)), nullptr);
    // The icon group holds the size the windows use and those that Windows
    // asks for at larger scales, so that none is blown up from another.
    const std::string group = ResourceBytes(MAKEINTRESOURCEW(14), IDR_MAINFRAME);
    ASSERT_GE(group.size(), 6u);
    std::vector<int> sizes;
    for (std::size_t entry = 6; entry + 14 <= group.size(); entry += 14)
        sizes.push_back(static_cast<unsigned char>(group[entry]));
    EXPECT_EQ(sizes, (std::vector<int>{24, 32, 48}));
    const HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINMENU));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuState(menu, ID_FILE_LOGOUT, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    DestroyMenu(menu);
    wchar_t about[64] = {};
    LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 64);
    EXPECT_STREQ(about, L"&About Quillmark...");
    const struct {
        int id;
        LONG width;
        LONG height;
    } banners[] = {{IDB_BANNER, 450, 139}, {IDB_BANNER_SMALL, 400, 75}};
    for (const auto& banner : banners) {
        const auto bitmap = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(banner.id),
                                                            IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ASSERT_NE(bitmap, nullptr) << banner.id;
        BITMAP info{};
        GetObjectW(bitmap, sizeof(info), &info);
        EXPECT_EQ(info.bmWidth, banner.width) << banner.id;
        EXPECT_EQ(info.bmHeight, banner.height) << banner.id;
        EXPECT_EQ(info.bmBitsPixel, 24) << banner.id;
        DeleteObject(bitmap);
    }
}

}  // namespace
