// Commit marks: how an operation that puts new files in place of others (a pack, a repaired
// copy) names the files it makes and the renames that follow, so that a crash at any moment is
// finished or undone by whoever meets the mark next, and nothing it did not make is removed.
//
// The mark is a small text file beside the files, written by its owner only:
//   tavlo commit mark            every mark begins so; a file that does not is not ours
//   kind pack
//   owner PID BOOTID
//   make NAME                    a file the operation will create (never one that exists)
//   move FROM TO                 the renames, in order
//   plan end
// followed by lines appended as the work goes on:
//   made NAME                    NAME was created by the owner: from now on it may be removed
//   moving                       every made file is whole and on disk; the moves begin
// Names are file names in the mark's folder, with '%', blanks and control bytes as %XX.
//
// States and transitions (the owner works through TCommitMark, anyone else RecoverCommit):
//   planned  -> Write: a file created and its "made" line appended, then its bytes written
//   written  -> Commit: the plan checked against the disk, "moving", the moves, the mark removed
//   any state before "moving" -> Abandon (or the destructor): made files and mark removed
// The owner creates the mark exclusively and keeps it open for writing until it has removed
// it. That open is the operation's lock, and only the end of the process takes it away.
// Whoever else finds a mark touches nothing while that lock is held or while the owner's
// process still runs; an empty mark whose lock is free was left by an owner killed before it
// wrote its plan, and is removed. Once the owner is gone it takes the lock itself, and
//   - before "moving": deletes the made files and the mark (the operation never happened);
//   - after "moving": makes the moves not yet made and removes the mark (it is finished).
// Which moves were made is read from the disk. Commit refuses a plan unless every source exists
// and is the source of no other move, and every target is free or the source of an earlier
// move; so a source is gone exactly when its move was made, and the moves made are those up to
// the last one whose source is gone. A move that fails in Commit (not a crash) puts the moves
// before it back and abandons the operation, leaving the files as they were.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tavlo {

class ByteStream;

struct TFileMove {
  std::string from, to;  // file names in the mark's folder
};

struct TCommitPlan {
  std::string kind;               // "pack", "repair": what messages call the operation
  std::vector<std::string> make;  // file names the operation creates
  std::vector<TFileMove> moves;   // in the order they are made
};

class TCommitMark {
 public:
  // Writes the plan into a new mark at markPath, on disk, and holds the mark's lock. Refused
  // with EFCreateError when anything is at markPath, and with EDatabaseError for a name that
  // is not a plain file name.
  TCommitMark(const std::string& markPath, TCommitPlan plan);
  // Abandons the operation unless it was committed.
  ~TCommitMark() noexcept;
  TCommitMark(const TCommitMark&) = delete;
  TCommitMark& operator=(const TCommitMark&) = delete;

  // Creates the planned file name (refused when anything is there), writes bytes and puts
  // them on disk.
  void Write(const std::string& name, const std::string& bytes);
  // Checks the moves against the disk, records that they begin, makes them and removes the
  // mark. A refused or failing move raises EDatabaseError "Cannot rename FROM to TO...", the
  // moves before it put back and the operation abandoned.
  void Commit();
  // Deletes the files made so far and the mark; nothing else is touched.
  void Abandon() noexcept;

 private:
  void Append(const std::string& line);

  std::string markPath_;
  std::string folder_;  // with its final separator, "" for the current folder
  TCommitPlan plan_;
  std::unique_ptr<ByteStream> mark_;
  std::vector<std::string> made_;
};

// Puts files that do not exist yet in place, in the order given, behind a commit mark at
// markPath: written under hidden names beside them and flushed, then renamed in, so that no
// crash leaves a part of one and each later file appears only after the earlier ones. Every
// path lies in the mark's folder. Raises EDatabaseError "PATH already exists" (nothing
// written) or the error of the write, leaving nothing behind.
struct TNewFile {
  std::string path;
  std::string bytes;
};
void PutNewFiles(const std::string& markPath, const std::string& kind,
                 const std::vector<TNewFile>& files);

struct TRecovery {
  enum Outcome {
    None,      // no mark
    Busy,      // the owner still runs (or it cannot be told): nothing was touched
    Foreign,   // a file of that name that is not a mark of this program: left alone
    Undone,    // the operation had not begun its moves: what it made is gone
    Finished,  // its moves are all made
  };
  Outcome outcome = None;
  bool moving = false;  // Busy: the owner has begun its moves
  std::string kind;
  int owner = 0;
};

// Finishes or undoes the operation that left the mark at markPath, when its owner is gone.
// Raises EDatabaseError "The interrupted KIND ... could not be finished: ..." when a move
// that is due cannot be made (the mark stays for a later try).
TRecovery RecoverCommit(const std::string& markPath);

}  // namespace tavlo
