// The headless desktop host for the CLI and the tests, and the switch to the host in force.
// Messages go to the error stream (say: the output stream) as UTF-8, input is one line of the
// input stream, every dialog answers "cancelled", the clipboard lives in the process, and the
// shell's "open" starts a detached process. Never waits for a started program.

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/asciitext.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/headlesshost.h"

namespace tavlo {
namespace {

void WriteLine(std::FILE* stream, const std::string& ansiText) {
  std::string text = CurrentCodePages().AnsiToUtf8(ansiText);
  text += '\n';
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

// Starts argv[0] with argv, detached (its own session, its parent already gone, standard
// streams on /dev/null) in folder. True when the program was started; only the exec is
// awaited, through a close-on-exec pipe that reports its failure.
bool StartDetached(const std::vector<std::string>& arguments, const std::string& folder) {
  if (arguments.empty() || arguments[0].empty()) return false;
  // Everything the children need is built before fork: after it only async-signal-safe calls.
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const char* directory = folder.empty() ? nullptr : folder.c_str();
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    ::close(report[0]);
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
      if (null > 2) ::close(null);
    }
    int error = 0;
    if (directory != nullptr && ::chdir(directory) != 0) {
      error = errno;
    } else {
      ::execvp(argv[0], argv.data());
      error = errno;
    }
    ssize_t ignored = ::write(report[1], &error, sizeof error);
    (void)ignored;
    ::_exit(127);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  bool forked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  int error = 0;
  ssize_t n;
  do {
    n = ::read(report[0], &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  ::close(report[0]);
  // End of file without a report: the exec succeeded and closed the pipe.
  return forked && n == 0;
}

class HeadlessHost final : public SilentDesktopHost {
 public:
  HeadlessHost(std::FILE* input, std::FILE* output, std::FILE* errors, std::string prefix)
      : input_(input), output_(output), errors_(errors), prefix_(std::move(prefix)) {}

  void ShowMessage(const std::string& text) override {
    WriteLine(errors_, prefix_ + CrLinesToLf(text));
  }

  // Whether the stream holds read-ahead bytes that no poll of its descriptor would see
  // (the glibc stream's read window).
  bool HasBufferedInput() const { return input_->_IO_read_ptr < input_->_IO_read_end; }
  void Say(const std::string& text) override { WriteLine(output_, text); }

  // One line of input; the end of the input answers with an empty text, not "cancelled",
  // so that a script fed from a file or a pipe runs to its end.
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& defaultValue) override {
    return InputBoxWithin(caption, prompt, defaultValue, -1);
  }

  // A terminal or a pipe may never send the line: the wait ends at the limit, and nullopt
  // says so. A file always answers at once.
  std::optional<std::string> InputBoxWithin(const std::string& caption, const std::string& prompt,
                                            const std::string& defaultValue,
                                            std::int64_t milliseconds) override {
    (void)caption;
    (void)defaultValue;
    const int fd = ::fileno(input_);
    if (::isatty(fd) == 1 && !prompt.empty()) {
      std::string shown = CurrentCodePages().AnsiToUtf8(prompt) + " ";
      std::fwrite(shown.data(), 1, shown.size(), errors_);
      std::fflush(errors_);
    }
    std::clearerr(input_);
    const std::uint64_t deadline = TickCount() + static_cast<std::uint64_t>(milliseconds);
    std::string line;
    int c;
    for (;;) {
      if (milliseconds >= 0 && fd >= 0 && !HasBufferedInput()) {
        const std::int64_t left = static_cast<std::int64_t>(deadline - TickCount());
        pollfd wanted{fd, POLLIN, 0};
        int ready;
        do {
          ready = ::poll(&wanted, 1, static_cast<int>(std::clamp<std::int64_t>(left, 0, 1 << 30)));
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) return std::nullopt;
      }
      if ((c = std::fgetc(input_)) == EOF || c == '\n') break;
      line += static_cast<char>(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return CurrentCodePages().Utf8ToAnsi(line);
  }

  bool ShellOpen(const std::string& target, const std::string& parameters,
                 const std::string& folder) override {
    if (target.empty()) return false;
    std::vector<std::string> arguments;
    if (parameters.empty()) {
      // A file, folder or link: the desktop's opener decides what runs it.
      arguments = {"xdg-open", target};
    } else {
      arguments = SplitParameters(parameters);
      arguments.insert(arguments.begin(), target);
    }
    return StartDetached(arguments, folder);
  }

 private:
  std::FILE* input_;
  std::FILE* output_;
  std::FILE* errors_;
  std::string prefix_;
};

DesktopHost*& InstalledHost() {
  static DesktopHost* installed = nullptr;
  return installed;
}

}  // namespace

std::vector<std::string> SplitParameters(const std::string& parameters) {
  std::vector<std::string> arguments;
  std::size_t i = 0;
  while (i < parameters.size()) {
    while (i < parameters.size() && (parameters[i] == ' ' || parameters[i] == '\t')) ++i;
    if (i >= parameters.size()) break;
    std::string argument;
    bool quoted = false;
    for (; i < parameters.size(); ++i) {
      char c = parameters[i];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && (c == ' ' || c == '\t')) {
        break;
      } else {
        argument += c;
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::unique_ptr<DesktopHost> NewHeadlessHost(std::FILE* input, std::FILE* output, std::FILE* errors,
                                             const std::string& prefix) {
  return std::make_unique<HeadlessHost>(input, output, errors, prefix);
}

std::unique_ptr<DesktopHost> NewHeadlessHost(const std::string& messagePrefix) {
  return NewHeadlessHost(stdin, stdout, stderr, messagePrefix);
}

DesktopHost& Host() {
  DesktopHost*& installed = InstalledHost();
  if (installed == nullptr) {
    static const std::unique_ptr<DesktopHost> headless = NewHeadlessHost();
    installed = headless.get();
  }
  return *installed;
}

void ShowMessagesAfter(const std::function<void()>& step,
                       const std::vector<std::string>& messages) {
  try {
    step();
  } catch (...) {
    Host().ShowMessages(messages);
    throw;
  }
  Host().ShowMessages(messages);
}

ScopedDesktopHost::ScopedDesktopHost(DesktopHost& replacement) : previous_(&Host()) {
  InstalledHost() = &replacement;
}

ScopedDesktopHost::~ScopedDesktopHost() {
  InstalledHost() = previous_;
}

}  // namespace tavlo
