// Helpers the fuzz targets share: a desktop host that answers every dialog with "cancelled"
// and never starts a program, and a file system that keeps every file a target or a script
// touches inside one private temporary folder. Nothing here may reach files outside it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktophost.h"
#include "platform/errors.h"
#include "platform/filesystem.h"

namespace tavlo::fuzz {

// Shows nothing and keeps nothing, so that a long fuzzing run does not collect messages.
class QuietHost : public SilentDesktopHost {
 public:
  void ShowMessage(const std::string&) override {}
  void Say(const std::string&) override {}
};

// Every path names a file directly in the jail folder: separators and dots become '_', so
// "../x", "/etc/x" and "x" are three harmless names there. Folders other than the jail itself
// do not exist and cannot be made.
class JailFiles : public FileSystem {
 public:
  JailFiles() {
    // The system's file system must outlive this one, whose destructor still uses it: made
    // first, it is destroyed last at exit (else "pure virtual method called").
    OsFiles();
    char pattern[] = "/tmp/tavlo-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) std::abort();
    folder_ = made;
  }
  ~JailFiles() override {
    Clear();
    OsFiles().RemoveDirectory(folder_);
  }

  const std::string& Folder() const { return folder_; }
  // The real path of name inside the jail.
  std::string Map(const std::string& path) const {
    if (path == folder_) return folder_;
    std::string name = path;
    if (name.rfind(folder_ + "/", 0) == 0) name.erase(0, folder_.size() + 1);
    if (name.empty()) name = "_";
    for (char& c : name)
      if (c == '/' || c == '\\' || c == '.' || c == '\0') c = '_';
    if (name.size() > 100) name.resize(100);
    return folder_ + "/" + name;
  }
  // Deletes every file of the jail (between inputs).
  void Clear() { DeleteAll(folder_); }
  static void DeleteAll(const std::string& folder) {
    for (const DirectoryEntry& entry : OsFiles().ListDirectory(folder))
      OsFiles().DeleteFile(folder + "/" + entry.name);
  }

  std::unique_ptr<ByteStream> Open(const std::string& path, OpenMode mode) override {
    return OsFiles().Open(Map(path), mode);
  }
  std::unique_ptr<SharedFile> OpenShared(const std::string& path, bool create) override {
    return OsFiles().OpenShared(Map(path), create);
  }
  bool FileExists(const std::string& path) override { return OsFiles().FileExists(Map(path)); }
  bool DirectoryExists(const std::string& path) override {
    return path == folder_ || path == folder_ + "/";
  }
  bool DeleteFile(const std::string& path) override { return OsFiles().DeleteFile(Map(path)); }
  bool RenameFile(const std::string& from, const std::string& to) override {
    return OsFiles().RenameFile(Map(from), Map(to));
  }
  bool CreateDirectory(const std::string&) override { return false; }
  bool RemoveDirectory(const std::string&) override { return false; }
  std::vector<DirectoryEntry> ListDirectory(const std::string& path) override {
    if (!DirectoryExists(path)) return {};
    return OsFiles().ListDirectory(folder_);
  }
  std::int64_t FileSize(const std::string& path) override { return OsFiles().FileSize(Map(path)); }

 private:
  std::string folder_;
};

// Every path opens a fresh memory stream holding the image given for it (empty when none):
// the readers see the fuzzer's bytes without a file being written.
class ImageFiles : public FileSystem {
 public:
  std::map<std::string, std::string> images;

  std::unique_ptr<ByteStream> Open(const std::string& path, OpenMode mode) override {
    auto stream = NewMemoryStream();
    auto found = images.find(path);
    if (mode != OpenMode::Create && found != images.end() && !found->second.empty())
      stream->WriteAt(0, found->second.data(), found->second.size());
    return stream;
  }
  bool FileExists(const std::string& path) override { return images.count(path) != 0; }
  bool DirectoryExists(const std::string&) override { return false; }
  bool DeleteFile(const std::string&) override { return false; }
  bool RenameFile(const std::string&, const std::string&) override { return false; }
  bool CreateDirectory(const std::string&) override { return false; }
  bool RemoveDirectory(const std::string&) override { return false; }
  std::vector<DirectoryEntry> ListDirectory(const std::string&) override { return {}; }
  std::int64_t FileSize(const std::string& path) override {
    auto found = images.find(path);
    return found == images.end() ? -1 : static_cast<std::int64_t>(found->second.size());
  }
};

}  // namespace tavlo::fuzz
