// Internal to platform/: the operating system's file streams behind OsFiles().Open.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>

#include "platform/filesystem.h"

namespace tavlo {

// Opens path in the mode with its sharing rule (see osfile.cpp). Raises EFOpenError, or
// EFCreateError for Create, also when another open holds a conflicting share.
std::unique_ptr<ByteStream> OpenOsFile(const std::string& path, OpenMode mode);

// FileSystem::CreateNew on the operating system's files: created exclusively (O_EXCL), then
// shared as ReadWrite shares a file.
std::unique_ptr<ByteStream> CreateNewOsFile(const std::string& path);

// "device:inode" of a file's status, as FileSystem::FileId and ByteStream::FileId give it.
std::string OsFileId(const struct stat& status);

// FileSystem::ReplaceFile on the operating system's files: a temporary file in the same
// folder, flushed to disk, then renamed over the target.
void ReplaceOsFile(const std::string& path, const std::string& bytes);

}  // namespace tavlo
