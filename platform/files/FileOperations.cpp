#include "platform/files/FileOperations.h"

namespace files {

FileStatus RemoveFile(const std::string& name)
{
    return CurrentFileSystem().Remove(name);
}

FileStatus RenameFile(const std::string& from, const std::string& to, RenameMode mode)
{
    return CurrentFileSystem().Rename(from, to, mode);
}

FileResult<FileInfo> ExamineFile(const std::string& name)
{
    return CurrentFileSystem().Examine(name);
}

} // namespace files
