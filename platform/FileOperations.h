#pragma once
// Whole-file operations by name, through the current file system.
#include "platform/FileError.h"
#include "platform/FileSystem.h"

#include <string>

namespace platform {

FileStatus RemoveFile(const std::string& name);
// In one step; with RenameMode::Replace, replaces `to` where it exists.
FileStatus RenameFile(const std::string& from, const std::string& to, RenameMode mode = RenameMode::Replace);
// A missing name gives a FileInfo whose `exists` is false; a link is not followed.
FileResult<FileInfo> ExamineFile(const std::string& name);

} // namespace platform
