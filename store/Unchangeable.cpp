#include "store/Unchangeable.h"

#include "store/Messages.h"
#include "store/UserFile.h"

namespace store {

std::optional<std::u16string> WhyUnchangeable(const files::FileInfo& info)
{
    const std::u16string path = PathForUser(UserFileName);
    if (info.symlink)
        return path + u" is a symbolic link; the program only changes a regular file.";
    if (!info.regular)
        return UserFileNotRegular();
    const unsigned user = files::CurrentFileSystem().ProcessOwner();
    if (info.owner != user && user != 0 && (info.mode & 0004))
        return path + u" belongs to another user and every user may read it: a password kept there would not be private.";
    if (info.links > 1)
        return path + u" has other names (hard links); the program only changes a file with one name.";
    if (!info.writable && info.owner != user && user != 0)
        return path + u" belongs to another user, who has not let this user change it.";
    if (!info.writable)
        return path + u" is read-only.";
    return std::nullopt;
}

} // namespace store
