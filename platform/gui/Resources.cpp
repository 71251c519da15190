#include "platform/gui/Resources.h"

#include "platform/gui/ResourceScript.h"

#include <cstdio>

namespace {

const ResourceScript& Script()
{
    static const ResourceScript script = [] {
        for (const BundledFile& file : BundledResourceFiles()) {
            if (file.name.ends_with(".rc"))
                return ResourceScript::Parse(file.bytes);
        }
        return ResourceScript{};
    }();
    return script;
}

template <class Map>
const typename Map::mapped_type* Find(const Map& map, int id)
{
    const auto found = map.find(id);
    return found == map.end() ? nullptr : &found->second;
}

std::string_view BundledFileNamed(std::string_view name)
{
    for (const BundledFile& file : BundledResourceFiles()) {
        if (file.name == name)
            return file.bytes;
    }
    return {};
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    return Find(Script().dialogs, id);
}

const MenuTemplate* FindMenuTemplate(int id)
{
    return Find(Script().menus, id);
}

std::string_view FindResourceFile(int id)
{
    const std::string* name = Find(Script().files, id);
    return name ? BundledFileNamed(*name) : std::string_view();
}

// "banner.bmp" at 1.5 is "scaled/banner@1.5x.png", and on a dark backdrop
// "scaled/banner-dark@1.5x.png", as res/art/draw_art.cpp writes them.
std::string_view FindScaledResourceFile(int id, double scale, ArtBackdrop backdrop)
{
    const std::string* name = Find(Script().files, id);
    if (!name)
        return {};
    char factor[16];
    std::snprintf(factor, sizeof factor, "%g", scale);
    const char* variant = backdrop == ArtBackdrop::Dark ? "-dark" : "";
    return BundledFileNamed("scaled/" + name->substr(0, name->rfind('.')) + variant + '@' + factor + "x.png");
}

std::u16string LoadString(int id)
{
    const std::u16string* text = Find(Script().strings, id);
    return text ? *text : std::u16string();
}
