#include "platform/gui/ResourceScript.h"

#include <gtest/gtest.h>

namespace {

const char* const kScript = R"(
#include "whatever.h"
// A comment, and /* another
/* over
   two lines */
7 DIALOGEX 0, 0, 266, 85
STYLE 0x80C800C0 | 0x8
EXSTYLE 0x00040000
CAPTION "Say ""hi"""
MENU 9
FONT 8, "MS Shell Dlg", 400, 0, 0x1
BEGIN
    CONTROL "Text", -1, "Static", 0x50020080, 20, 54, 130, 8
    CONTROL 144, -1, "Static", 0x5000000E, 0, 0, 266, 46
    CONTROL "OK", 1, "Button", 0x50030001, 199, 62, 50, 16, 0x4
END

9 MENU
BEGIN
    POPUP "&File"
    BEGIN
        MENUITEM "&Open", 100
        MENUITEM SEPARATOR
        MENUITEM "Log&out", 101, GRAYED
    END
    MENUITEM "&About", 102, CHECKED
END

1 VERSIONINFO
 FILEVERSION 2,0,0,0
BEGIN
    BLOCK "StringFileInfo" { BLOCK "040904b0" { VALUE "InternalName", "x" } }
END

1 24 "program.manifest"
STRINGTABLE
BEGIN
    101 "&About Quillmark..."
    102, "café\tline\\n"
END
144 BITMAP "banner.bmp"
)";

TEST(ResourceScript, ReadsADialogWithItsControls)
{
    const ResourceScript script = ResourceScript::Parse(kScript);
    ASSERT_EQ(script.dialogs.count(7), 1u);
    const DialogTemplate& dialog = script.dialogs.at(7);
    EXPECT_EQ(dialog.width, 266);
    EXPECT_EQ(dialog.height, 85);
    EXPECT_EQ(dialog.style, 0x80C800C8u);
    EXPECT_EQ(dialog.exStyle, 0x00040000u);
    EXPECT_EQ(dialog.caption, u"Say \"hi\"");
    EXPECT_EQ(dialog.menu, 9);
    EXPECT_EQ(dialog.fontFace, u"MS Shell Dlg");
    EXPECT_EQ(dialog.fontPointSize, 8);
    EXPECT_EQ(dialog.fontWeight, 400);
    ASSERT_EQ(dialog.controls.size(), 3u);
    EXPECT_EQ(dialog.controls[0].id, -1);
    EXPECT_EQ(dialog.controls[0].text, u"Text");
    EXPECT_EQ(dialog.controls[1].textResource, 144);
    EXPECT_EQ(dialog.controls[2].className, u"Button");
    EXPECT_EQ(dialog.controls[2].style, 0x50030001u);
    EXPECT_EQ(dialog.controls[2].x, 199);
    EXPECT_EQ(dialog.controls[2].height, 16);
    EXPECT_EQ(dialog.controls[2].exStyle, 0x4u);
}

TEST(ResourceScript, ReadsMenusWithTheirStates)
{
    const ResourceScript script = ResourceScript::Parse(kScript);
    const MenuTemplate& menu = script.menus.at(9);
    ASSERT_EQ(menu.items.size(), 2u);
    const MenuTemplate& file = menu.items[0];
    EXPECT_EQ(file.text, u"&File");
    EXPECT_TRUE(file.flags & 0x10) << "a pop-up";
    ASSERT_EQ(file.items.size(), 3u);
    EXPECT_EQ(file.items[0].id, 100);
    EXPECT_EQ(file.items[1].flags, 0x800u) << "a separator";
    EXPECT_EQ(file.items[2].flags, 0x1u) << "grayed";
    EXPECT_EQ(menu.items[1].id, 102);
    EXPECT_EQ(menu.items[1].flags, 0x8u) << "checked";
}

TEST(ResourceScript, ReadsStringsAndFilesAndSkipsWhatItDoesNotUse)
{
    const ResourceScript script = ResourceScript::Parse(kScript);
    EXPECT_EQ(script.strings.at(101), u"&About Quillmark...");
    EXPECT_EQ(script.strings.at(102), u"café\tline\\n");
    EXPECT_EQ(script.files.at(144), "banner.bmp");
    EXPECT_EQ(script.files.at(1), "program.manifest");
}

TEST(ResourceScript, NamesTheLineOfWhatItCannotRead)
{
    const auto errorOf = [](const char* text) -> std::string {
        try {
            ResourceScript::Parse(text);
        } catch (const ResourceScriptError& error) {
            return error.what();
        }
        return "no error";
    };
    EXPECT_EQ(errorOf("\n1 DIALOGEX 0, 0, 1, 1\nCAPTION \"open\n"), "line 3: unterminated string");
    EXPECT_EQ(errorOf("1 MENU\nBEGIN\n MENUITEM \"a\", 1\n"), "line 4: a keyword was expected");
    EXPECT_EQ(errorOf("1 DIALOGEX 0, 0, 1, 1\nWIDTH 3\nBEGIN\nEND"), "line 2: unknown dialog option WIDTH");
    EXPECT_EQ(errorOf("STRINGTABLE\n"), "line 2: BEGIN was expected");
}

}  // namespace
