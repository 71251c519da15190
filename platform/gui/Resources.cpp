#include "platform/gui/Resources.h"

#include "platform/gui/ResourceScript.h"

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
    if (!name)
        return {};
    for (const BundledFile& file : BundledResourceFiles()) {
        if (file.name == *name)
            return file.bytes;
    }
    return {};
}

std::u16string LoadString(int id)
{
    const std::u16string* text = Find(Script().strings, id);
    return text ? *text : std::u16string();
}
