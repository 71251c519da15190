#include "platform/FileOperations.h"

namespace platform {

FileStatus RemoveFile(const std::string& name)
{
    return CurrentFileSystem().Remove(name);
}

FileStatus RenameFile(const std::string& from, const std::string& to)
{
    return CurrentFileSystem().Rename(from, to);
}

FileResult<FileInfo> ExamineFile(const std::string& name)
{
    return CurrentFileSystem().Examine(name);
}

} // namespace platform
