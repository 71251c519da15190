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

FileStatus SyncFolder()
{
    const std::string folderName = ".";
    FileSystem& fileSystem = CurrentFileSystem();
    auto folder = fileSystem.Open(".", OpenMode::Folder);
    if (!folder.Ok())
        return folder.Error().Named(folderName);
    FileStatus synced = fileSystem.Sync(folder.Value());
    fileSystem.Close(folder.Value());
    if (!synced.Ok())
        return synced.Error().Named(folderName);
    return {};
}

} // namespace files
