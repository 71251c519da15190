#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct ControlTemplate {
    std::u16string className;  // "Button", "Edit", "Static"
    int id = -1;
    std::u16string text;
    int textResource = -1;     // a resource id in place of the text (bitmap statics)
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
};

struct DialogTemplate {
    int id = 0;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::u16string caption;
    int menu = 0;
    std::u16string fontFace;
    int fontPointSize = 0;
    int fontWeight = 0;
    std::vector<ControlTemplate> controls;
};

struct MenuTemplate {
    std::u16string text;
    int id = 0;                    // zero for pop-ups and separators
    std::uint32_t flags = 0;       // MF_GRAYED, MF_CHECKED, MF_POPUP, MF_SEPARATOR
    std::vector<MenuTemplate> items;
};

// The resources that a resource script declares: dialogs, menus, strings and
// the file names of bitmaps and icons. Statements it does not use are skipped.
struct ResourceScript {
    std::map<int, DialogTemplate> dialogs;
    std::map<int, MenuTemplate> menus;
    std::map<int, std::u16string> strings;
    std::map<int, std::string> files;

    // Throws ResourceScriptError, naming the line, on text it cannot read.
    static ResourceScript Parse(std::string_view text);
};

struct ResourceScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
