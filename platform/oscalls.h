// Internal to platform/: the system calls of the file layer, reached through one table so
// that tests can replace a call to inject a short write, a full disk or a refused lock (the
// way SQLite's os_unix.c does). The engine never touches this table; only tests do.
#pragma once

#include <sys/types.h>

namespace tavlo {

struct OsCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*close)(int fd);
  ssize_t (*pread)(int fd, void* buffer, size_t size, off_t offset);
  ssize_t (*pwrite)(int fd, const void* buffer, size_t size, off_t offset);
  int (*ftruncate)(int fd, off_t size);
  // fcntl for the lock commands only (F_OFD_SETLK with a struct flock).
  int (*lock)(int fd, int command, struct flock* lock);
  int (*fsync)(int fd);
  int (*rename)(const char* from, const char* to);
};

// The table in force; assign members in a test and restore them afterwards.
OsCalls& SystemCalls();
// The real calls.
const OsCalls& RealSystemCalls();

}  // namespace tavlo
