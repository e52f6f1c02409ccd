// The operating system's file system (POSIX calls) and the switch that lets tests install
// another. Folder and file operations answer false or -1 on failure and never raise; opening
// a stream raises the stream errors of platform/errors.h.

#include "platform/filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/errors.h"
#include "platform/osfile.h"

namespace tavlo {
namespace {

bool StatPath(const std::string& path, struct stat& st) {
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

class OsFileSystem final : public FileSystem {
 public:
  std::unique_ptr<ByteStream> Open(const std::string& path, OpenMode mode) override {
    return OpenOsFile(path, mode);
  }

  void ReplaceFile(const std::string& path, const std::string& bytes) override {
    ReplaceOsFile(path, bytes);
  }

  std::unique_ptr<ByteStream> CreateNew(const std::string& path) override {
    return CreateNewOsFile(path);
  }

  std::string FileId(const std::string& path) override {
    struct stat st;
    if (!StatPath(path, st)) return {};
    return OsFileId(st);
  }

  bool FileExists(const std::string& path) override {
    struct stat st;
    return StatPath(path, st) && S_ISREG(st.st_mode);
  }

  bool DirectoryExists(const std::string& path) override {
    struct stat st;
    return StatPath(path, st) && S_ISDIR(st.st_mode);
  }

  bool PathExists(const std::string& path) override {
    struct stat st;
    return StatPath(path, st);
  }

  bool DeleteFile(const std::string& path) override {
    return !path.empty() && ::unlink(path.c_str()) == 0;
  }

  // Never replaces an existing target: a rename onto another file would silently destroy it.
  bool RenameFile(const std::string& from, const std::string& to) override {
    if (from.empty() || to.empty()) return false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
      return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without RENAME_NOREPLACE: check first (not atomic, but as close as it gets).
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
  }

  bool CreateDirectory(const std::string& path) override {
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
  }

  bool RemoveDirectory(const std::string& path) override {
    return !path.empty() && ::rmdir(path.c_str()) == 0;
  }

  std::vector<DirectoryEntry> ListDirectory(const std::string& path) override {
    std::vector<DirectoryEntry> entries;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return entries;
    std::string prefix = path;
    if (!prefix.empty() && prefix.back() != kPathSeparator) prefix += kPathSeparator;
    while (struct dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      DirectoryEntry entry;
      entry.name = name;
      if (e->d_type == DT_DIR) {
        entry.isDirectory = true;
      } else if (e->d_type == DT_REG) {
        entry.isRegularFile = true;
      } else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
        // Links count as what they point to, as the desktop's listing sees them.
        struct stat st;
        if (::stat((prefix + name).c_str(), &st) == 0) {
          entry.isDirectory = S_ISDIR(st.st_mode);
          entry.isRegularFile = S_ISREG(st.st_mode);
        }
      }
      entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return entries;
  }

  std::int64_t FileSize(const std::string& path) override {
    struct stat st;
    if (!StatPath(path, st) || !S_ISREG(st.st_mode)) return -1;
    return st.st_size;
  }
};

FileSystem*& InstalledFileSystem() {
  static FileSystem* installed = nullptr;
  return installed;
}

}  // namespace

void FileSystem::ReplaceFile(const std::string& path, const std::string& bytes) {
  std::unique_ptr<ByteStream> file = Open(path, OpenMode::Create);
  try {
    if (!bytes.empty()) file->WriteAt(0, bytes.data(), bytes.size());
  } catch (const EStreamError& e) {
    throw EFCreateError(EFCreateError::ForPath(path).Message() + ": " + e.what());
  }
}

std::unique_ptr<ByteStream> FileSystem::CreateNew(const std::string& path) {
  if (PathExists(path)) throw EFCreateError::ForPath(path, std::strerror(EEXIST));
  Open(path, OpenMode::Create).reset();
  return Open(path, OpenMode::ReadWrite);
}

FileSystem& OsFiles() {
  static OsFileSystem files;
  return files;
}

FileSystem& Files() {
  FileSystem* installed = InstalledFileSystem();
  return installed != nullptr ? *installed : OsFiles();
}

ScopedFileSystem::ScopedFileSystem(FileSystem& replacement) : previous_(&Files()) {
  InstalledFileSystem() = &replacement;
}

ScopedFileSystem::~ScopedFileSystem() {
  InstalledFileSystem() = previous_;
}

std::string ExecutableFolder() {
  std::string path(PATH_MAX, '\0');
  ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n > 0 && static_cast<std::size_t>(n) < path.size()) {
    path.resize(static_cast<std::size_t>(n));
  } else {
    // No /proc: the current folder is the best guess left.
    char* cwd = ::getcwd(nullptr, 0);
    path = cwd != nullptr ? std::string(cwd) + kPathSeparator + "tavlo" : std::string("./tavlo");
    ::free(cwd);
  }
  std::size_t slash = path.rfind(kPathSeparator);
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace tavlo
