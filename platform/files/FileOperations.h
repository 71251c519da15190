#pragma once
// Whole-file operations by name, through the current file system.
#include "platform/files/FileError.h"
#include "platform/files/FileSystem.h"

#include <string>

namespace files {

FileStatus RemoveFile(const std::string& name);
// In one step; with RenameMode::Replace, replaces `to` where it exists.
FileStatus RenameFile(const std::string& from, const std::string& to, RenameMode mode = RenameMode::Replace);
// A missing name gives a FileInfo whose `exists` is false; a link is not followed.
FileResult<FileInfo> ExamineFile(const std::string& name);
// Makes renames and new names in the current folder durable.
FileStatus SyncFolder();

} // namespace files
