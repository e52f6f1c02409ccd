// Commit marks: the owner's side (plan, made files, moves) and the recovery by whoever finds
// a mark its owner left behind (the design note is in commitmark.h).
#include "dbf/commitmark.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "dbf/dbferrors.h"
#include "platform/errors.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "platform/processes.h"

namespace tavlo {

namespace {

constexpr char kSignature[] = "tavlo commit mark";
constexpr std::size_t kMarkLimit = 1 << 20;  // plans are a few lines; a bigger file is not one

std::string Encode(const std::string& name) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    if (c <= ' ' || c == '%' || c == 0x7F) {
      out += '%';
      out += digits[c >> 4];
      out += digits[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// false for a malformed escape.
bool Decode(const std::string& text, std::string& name) {
  name.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      name += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = HexDigit(text[i + 1]);
    const int low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return false;
    name += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

// A name the mark may hold: one file in the mark's folder, nothing that leads elsewhere.
bool PlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::string ReasonSuffix(int error) {
  return error != 0 ? std::string(": ") + std::strerror(error) : std::string();
}

bool Rename(const std::string& from, const std::string& to, int& error) {
  errno = 0;
  if (Files().RenameFile(from, to)) return true;
  error = errno;
  return false;
}

// A mark as read back from the disk.
struct TMarkText {
  bool ours = false;      // begins with the signature
  bool complete = false;  // "plan end" was read
  std::string kind;
  int owner = 0;
  std::string boot;
  std::vector<std::string> make;
  std::vector<TFileMove> moves;
  std::set<std::string> made;
  bool moving = false;
};

bool ParseMark(const std::string& text, TMarkText& mark) {
  std::size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) break;  // a line cut short by a crash says nothing
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (first) {
      if (line != kSignature) return false;
      mark.ours = true;
      first = false;
      continue;
    }
    const std::size_t blank = line.find(' ');
    const std::string word = line.substr(0, blank);
    const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    std::string a, b;
    if (word == "kind") {
      mark.kind = rest;
    } else if (word == "owner") {
      const std::size_t space = rest.find(' ');
      try {
        mark.owner = std::stoi(rest.substr(0, space));
      } catch (const std::exception&) {
        return false;
      }
      if (space != std::string::npos) mark.boot = rest.substr(space + 1);
    } else if (word == "make" || word == "made") {
      if (!Decode(rest, a) || !PlainName(a)) return false;
      (word == "make" ? static_cast<void>(mark.make.push_back(a))
                      : static_cast<void>(mark.made.insert(a)));
    } else if (word == "move") {
      const std::size_t space = rest.find(' ');
      if (space == std::string::npos || !Decode(rest.substr(0, space), a) ||
          !Decode(rest.substr(space + 1), b) || !PlainName(a) || !PlainName(b))
        return false;
      mark.moves.push_back({a, b});
    } else if (line == "plan end") {
      mark.complete = true;
    } else if (line == "moving") {
      mark.moving = true;
    } else {
      return false;
    }
  }
  return mark.ours;
}

bool OwnerRunning(const TMarkText& mark) {
  // An owner recorded under another boot (or on another machine) is gone whatever its id;
  // this process's own id belongs to a process that ended before this one began.
  return mark.boot == BootId() && mark.owner != CurrentProcessId() && ProcessRunning(mark.owner);
}

std::string ReadAll(ByteStream& stream) {
  const std::int64_t size = stream.Size();
  std::string text(static_cast<std::size_t>(std::min<std::int64_t>(size, kMarkLimit)), '\0');
  text.resize(stream.ReadAt(0, text.data(), text.size()));
  return text;
}

// Whether a live owner has begun its moves, read without the lock (the owner lets others read).
bool OwnerMoving(const std::string& markPath) {
  try {
    std::unique_ptr<ByteStream> stream = Files().Open(markPath, OpenMode::ReadOnly);
    TMarkText mark;
    return ParseMark(ReadAll(*stream), mark) && mark.moving;
  } catch (const Exception&) {
    return false;
  }
}

// Deletes what the operation made: the files its "made" lines name, and a planned file that
// has no line yet only when it is empty (the owner died between creating it and saying so).
bool RemoveMade(const std::string& folder, const TMarkText& mark) {
  bool all = true;
  for (const std::string& name : mark.make) {
    const std::string path = folder + name;
    if (!Files().FileExists(path)) continue;
    if (mark.made.count(name) == 0 && Files().FileSize(path) != 0) continue;
    if (!Files().DeleteFile(path)) all = false;
  }
  return all;
}

}  // namespace

TCommitMark::TCommitMark(const std::string& markPath, TCommitPlan plan)
    : markPath_(markPath), folder_(ExtractFilePath(markPath)), plan_(std::move(plan)) {
  std::string text = std::string(kSignature) + "\nkind " + plan_.kind + "\nowner " +
                     std::to_string(CurrentProcessId()) + " " + BootId() + "\n";
  for (const std::string& name : plan_.make) {
    if (!PlainName(name)) throw EDatabaseError("'" + name + "' is not a file name");
    text += "make " + Encode(name) + "\n";
  }
  for (const TFileMove& move : plan_.moves) {
    if (!PlainName(move.from) || !PlainName(move.to))
      throw EDatabaseError("'" + move.from + "' or '" + move.to + "' is not a file name");
    text += "move " + Encode(move.from) + " " + Encode(move.to) + "\n";
  }
  text += "plan end\n";
  mark_ = Files().CreateNew(markPath_);
  try {
    // One write, so that a crash leaves the plan whole or no plan at all.
    mark_->WriteAt(0, text.data(), text.size());
    mark_->Flush();
  } catch (...) {
    Abandon();
    throw;
  }
}

TCommitMark::~TCommitMark() noexcept {
  Abandon();
}

void TCommitMark::Append(const std::string& line) {
  const std::string text = line + "\n";
  mark_->WriteAt(mark_->Size(), text.data(), text.size());
  mark_->Flush();
}

void TCommitMark::Write(const std::string& name, const std::string& bytes) {
  std::unique_ptr<ByteStream> file = Files().CreateNew(folder_ + name);
  made_.push_back(name);
  Append("made " + Encode(name));
  if (!bytes.empty()) file->WriteAt(0, bytes.data(), bytes.size());
  file->Flush();
}

void TCommitMark::Commit() {
  // Every check a move could fail on is made before the first one.
  std::set<std::string> sources, targets;
  for (std::size_t i = 0; i < plan_.moves.size(); ++i) {
    const TFileMove& move = plan_.moves[i];
    if (!Files().FileExists(folder_ + move.from) || !sources.insert(move.from).second)
      throw EDatabaseError("Cannot rename " + folder_ + move.from + " to " + folder_ + move.to +
                           ": " + std::strerror(ENOENT));
    bool vacated = false;
    for (std::size_t j = 0; j < i; ++j) vacated = vacated || plan_.moves[j].from == move.to;
    if (!targets.insert(move.to).second || (!vacated && Files().PathExists(folder_ + move.to)))
      throw EDatabaseError("Cannot rename " + folder_ + move.from + " to " + folder_ + move.to +
                           ": " + std::strerror(EEXIST));
  }
  Append("moving");
  for (std::size_t i = 0; i < plan_.moves.size(); ++i) {
    const TFileMove& move = plan_.moves[i];
    int error = 0;
    if (Rename(folder_ + move.from, folder_ + move.to, error)) continue;
    std::string message =
        "Cannot rename " + folder_ + move.from + " to " + folder_ + move.to + ReasonSuffix(error);
    bool undone = true;
    for (std::size_t j = i; j-- > 0;) {
      int ignored = 0;
      undone =
          undone && Rename(folder_ + plan_.moves[j].to, folder_ + plan_.moves[j].from, ignored);
    }
    if (!undone) {
      // Half moved: the mark stays and the next open finishes the work.
      mark_.reset();
      made_.clear();
      throw EDatabaseError(message + "; the " + plan_.kind +
                           " is finished when the files are next opened");
    }
    throw EDatabaseError(message);
  }
  Files().DeleteFile(markPath_);
  mark_.reset();
  made_.clear();
}

void TCommitMark::Abandon() noexcept {
  if (mark_ == nullptr) return;
  bool all = true;
  for (const std::string& name : made_) {
    const std::string path = folder_ + name;
    if (Files().FileExists(path) && !Files().DeleteFile(path)) all = false;
  }
  made_.clear();
  // A made file that would not go stays named by the mark, for a later recovery to remove.
  if (all) Files().DeleteFile(markPath_);
  mark_.reset();
}

void PutNewFiles(const std::string& markPath, const std::string& kind,
                 const std::vector<TNewFile>& files) {
  const std::string folder = ExtractFilePath(markPath);
  TCommitPlan plan{kind, {}, {}};
  std::vector<std::string> hidden;
  for (const TNewFile& file : files) {
    if (ExtractFilePath(file.path) != folder)
      throw EDatabaseError(file.path + " is not in the folder of " + markPath);
    if (Files().PathExists(file.path)) throw EDatabaseError(file.path + " already exists");
    const std::string name = ExtractFileName(file.path);
    for (const TFileMove& move : plan.moves)
      if (move.to == name) throw EDatabaseError(file.path + " would be written twice");
    hidden.push_back("." + name + "." + std::to_string(CurrentProcessId()) + ".new");
    plan.make.push_back(hidden.back());
    plan.moves.push_back({hidden.back(), name});
  }
  TCommitMark commit(markPath, std::move(plan));
  for (std::size_t i = 0; i < files.size(); ++i) commit.Write(hidden[i], files[i].bytes);
  commit.Commit();
}

TRecovery RecoverCommit(const std::string& markPath) {
  TRecovery result;
  const std::string folder = ExtractFilePath(markPath);
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (!Files().PathExists(markPath)) return result;
    if (!Files().FileExists(markPath)) {
      result.outcome = TRecovery::Foreign;
      return result;
    }
    std::unique_ptr<ByteStream> lock;
    try {
      lock = Files().Open(markPath, OpenMode::ReadWrite);
    } catch (const EFShareError&) {
      result.outcome = TRecovery::Busy;
      result.moving = OwnerMoving(markPath);
      return result;
    } catch (const EStreamError&) {
      if (!Files().PathExists(markPath)) continue;  // removed by its owner meanwhile
      // Not ours to take (another user's, a read-only folder): it cannot be told whether the
      // owner runs, so it is left alone, and not waited for either.
      result.outcome = TRecovery::Busy;
      return result;
    }
    // The name may have been removed and made anew between finding and opening it.
    const std::string id = lock->FileId();
    if (!id.empty() && id != Files().FileId(markPath)) continue;
    const std::string text = ReadAll(*lock);
    // An empty mark whose lock was free: its owner died between creating it and writing the
    // plan, so it made nothing. (An owner still about to take its lock finds the name gone
    // and creates the mark anew.)
    if (text.empty()) {
      Files().DeleteFile(markPath);
      result.outcome = TRecovery::Undone;
      return result;
    }
    TMarkText mark;
    if (!ParseMark(text, mark)) {
      result.outcome = TRecovery::Foreign;
      return result;
    }
    result.kind = mark.kind;
    result.owner = mark.owner;
    result.moving = mark.moving;
    if (OwnerRunning(mark)) {
      result.outcome = TRecovery::Busy;
      return result;
    }
    // Files are made only after the whole plan is on disk: a plan cut short made nothing.
    if (!mark.complete) {
      Files().DeleteFile(markPath);
      result.outcome = TRecovery::Undone;
      return result;
    }
    std::size_t done = 0;
    if (mark.moving) {
      for (std::size_t i = mark.moves.size(); i-- > 0 && done == 0;)
        if (!Files().PathExists(folder + mark.moves[i].from)) done = i + 1;
    }
    if (done == 0) {
      if (RemoveMade(folder, mark)) Files().DeleteFile(markPath);
      result.outcome = TRecovery::Undone;
      return result;
    }
    for (std::size_t i = done; i < mark.moves.size(); ++i) {
      int error = 0;
      const TFileMove& move = mark.moves[i];
      if (!Rename(folder + move.from, folder + move.to, error))
        throw EDatabaseError("The interrupted " + mark.kind +
                             " could not be finished: Cannot rename " + folder + move.from +
                             " to " + folder + move.to + ReasonSuffix(error));
    }
    Files().DeleteFile(markPath);
    result.outcome = TRecovery::Finished;
    return result;
  }
  result.outcome = TRecovery::Busy;
  return result;
}

}  // namespace tavlo
