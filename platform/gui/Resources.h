#pragma once

#include "platform/gui/MessageMap.h"

#include <span>
#include <string>
#include <string_view>

struct DialogTemplate;
struct MenuTemplate;

// The program's resources: a resource script and the files it names, bundled
// into the executable by the build.
struct BundledFile {
    std::string_view name;
    std::string_view bytes;
};
std::span<const BundledFile> BundledResourceFiles();

const DialogTemplate* FindDialogTemplate(int id);
const MenuTemplate* FindMenuTemplate(int id);
// The bytes of a BITMAP or ICON resource; empty when there is none.
std::string_view FindResourceFile(int id);
// What a picture is drawn to sit on: the resource's own art, or a variant
// for a dark window, whose colour shows through it.
enum class ArtBackdrop { AsDrawn, Dark };
// The art of a BITMAP or ICON resource drawn afresh for a high-DPI scale
// factor, one of ArtScales (or 1 for a dark backdrop's), as PNG bytes; empty
// when there is none.
inline constexpr double ArtScales[] = {1.25, 1.5, 2.0, 3.0};
std::string_view FindScaledResourceFile(int id, double scale, ArtBackdrop backdrop = ArtBackdrop::AsDrawn);
// Empty when the string table has no such id.
std::u16string LoadString(int id);
// A shared icon that lives as long as the program; null when there is none.
IconHandle LoadIcon(int id);
