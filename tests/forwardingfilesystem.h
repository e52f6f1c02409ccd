// A file system for tests that hands every call on to the operating system's, so that a test
// overrides only the calls it injects a fault into (a full disk, a refused create, a killed
// step). Header-only: the Qt tests include it as well as the engine's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/filesystem.h"

namespace tavlo::testsupport {

// Forwards the calls every file system must answer. The calls FileSystem answers itself are
// left to it: CreateNew and ReplaceFile then write through this Open, so a stream an override
// of Open injects sees their writes too; OpenShared opens the operating system's file and
// FileId cannot tell. A test that wants the system's own one-step versions overrides them.
class ForwardingFileSystem : public FileSystem {
 public:
  std::unique_ptr<ByteStream> Open(const std::string& path, OpenMode mode) override {
    return OsFiles().Open(path, mode);
  }
  bool FileExists(const std::string& path) override { return OsFiles().FileExists(path); }
  bool DirectoryExists(const std::string& path) override { return OsFiles().DirectoryExists(path); }
  bool DeleteFile(const std::string& path) override { return OsFiles().DeleteFile(path); }
  bool RenameFile(const std::string& from, const std::string& to) override {
    return OsFiles().RenameFile(from, to);
  }
  bool CreateDirectory(const std::string& path) override { return OsFiles().CreateDirectory(path); }
  bool RemoveDirectory(const std::string& path) override { return OsFiles().RemoveDirectory(path); }
  std::vector<DirectoryEntry> ListDirectory(const std::string& path) override {
    return OsFiles().ListDirectory(path);
  }
  std::int64_t FileSize(const std::string& path) override { return OsFiles().FileSize(path); }
};

}  // namespace tavlo::testsupport
