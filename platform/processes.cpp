// Process ids, whether one runs, and the boot id of Linux.
#include "platform/processes.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

namespace tavlo {

int CurrentProcessId() {
  return static_cast<int>(::getpid());
}

bool ProcessRunning(int pid) {
  if (pid <= 0) return false;
  // Signal 0 only asks: EPERM means it runs under another user.
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
  // A zombie has ended (its files are closed, its locks released); only its parent has not
  // collected it yet. Its state letter follows the name in parentheses.
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(in, stat);
  const std::size_t close = stat.rfind(')');
  return close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] != 'Z';
}

std::string BootId() {
  static const std::string id = [] {
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string line;
    std::getline(in, line);
    return line;
  }();
  return id;
}

}  // namespace tavlo
