#include "store/Unchangeable.h"

namespace store {

std::optional<std::u16string> WhyUnchangeable(const files::FileInfo& info)
{
    if (info.symlink)
        return u"Quillmark.txt is a symbolic link; the program only changes a regular file.";
    if (!info.regular)
        return u"Quillmark.txt could not be opened: it is not a regular file.";
    const unsigned user = files::CurrentFileSystem().ProcessOwner();
    if (info.owner != user && user != 0 && (info.mode & 0004))
        return u"Quillmark.txt belongs to another user and every user may read it: a password kept there would not be private.";
    if (info.links > 1)
        return u"Quillmark.txt has other names (hard links); the program only changes a file with one name.";
    if (!info.writable)
        return u"Quillmark.txt is read-only.";
    return std::nullopt;
}

} // namespace store
