// Commit marks: what another process may do with a mark depends on whether its owner runs
// (the lock, then the process id), an undone operation removes exactly what it made, a
// finished one makes the moves still due, and a failing move leaves the files as they were.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dbf/commitmark.h"
#include "dbf/dbferrors.h"
#include "pack_testutil.h"
#include "platform/filesystem.h"
#include "platform/processes.h"
#include "testsupport.h"

namespace tavlo {
namespace {

using packtest::FolderNames;
using packtest::ReadBytes;
using packtest::WaitFor;
using packtest::WriteBytes;
using testsupport::ScratchFolder;

// old.txt is replaced by new.txt, kept as old.bak: the shape of a pack.
TCommitPlan ReplacePlan() {
  return {"test", {".new.tmp"}, {{"old.txt", "old.bak"}, {".new.tmp", "old.txt"}}};
}

TEST(CommitMark, CommitMakesTheMovesAndLeavesNothingBehind) {
  ScratchFolder dir;
  WriteBytes(dir.File("old.txt"), "old");
  {
    TCommitMark mark(dir.File("t.commit"), ReplacePlan());
    mark.Write(".new.tmp", "new");
    mark.Commit();
  }
  EXPECT_EQ(ReadBytes(dir.File("old.txt")), "new");
  EXPECT_EQ(ReadBytes(dir.File("old.bak")), "old");
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"old.txt", "old.bak"}));
}

TEST(CommitMark, AbandonedOperationRemovesOnlyWhatItMade) {
  ScratchFolder dir;
  WriteBytes(dir.File("old.txt"), "old");
  {
    TCommitMark mark(dir.File("t.commit"), {"test", {".a.tmp", ".b.tmp"}, {}});
    mark.Write(".a.tmp", "made");
    // Someone else's file under a planned name: creating it is refused, and it stays.
    WriteBytes(dir.File(".b.tmp"), "theirs");
    EXPECT_THROW(mark.Write(".b.tmp", "x"), EFCreateError);
  }
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"old.txt", ".b.tmp"}));
  EXPECT_EQ(ReadBytes(dir.File(".b.tmp")), "theirs");
}

TEST(CommitMark, AMoveIntoATakenNameIsRefusedBeforeAnyMove) {
  ScratchFolder dir;
  WriteBytes(dir.File("old.txt"), "old");
  ASSERT_EQ(mkdir(dir.File("old.bak").c_str(), 0755), 0);
  {
    TCommitMark mark(dir.File("t.commit"), ReplacePlan());
    mark.Write(".new.tmp", "new");
    EXPECT_THROW_MSG(
        mark.Commit(), EDatabaseError,
        "Cannot rename " + dir.File("old.txt") + " to " + dir.File("old.bak") + ": File exists");
  }
  EXPECT_EQ(ReadBytes(dir.File("old.txt")), "old");
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"old.txt", "old.bak"}));
}

// The second rename fails; every other goes through.
class SecondRenameFails : public packtest::PassThroughFileSystem {
 public:
  bool RenameFile(const std::string& a, const std::string& b) override {
    if (++count_ == 2) return false;
    return OsFiles().RenameFile(a, b);
  }

 private:
  int count_ = 0;
};

TEST(CommitMark, AFailingMovePutsTheEarlierOnesBack) {
  ScratchFolder dir;
  WriteBytes(dir.File("old.txt"), "old");
  SecondRenameFails second;
  {
    TCommitMark mark(dir.File("t.commit"), ReplacePlan());
    mark.Write(".new.tmp", "new");
    ScopedFileSystem scoped(second);
    EXPECT_THROW_MSG(mark.Commit(), EDatabaseError,
                     "Cannot rename " + dir.File(".new.tmp") + " to " + dir.File("old.txt"));
  }
  EXPECT_EQ(ReadBytes(dir.File("old.txt")), "old");
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"old.txt"}));
}

// A child that starts an operation, makes its file, tells the parent and waits to be killed.
pid_t StartOwner(const std::string& folder, bool commitToo, int fds[2]) {
  if (pipe(fds) != 0) return -1;
  const pid_t child = fork();
  if (child != 0) {
    close(fds[1]);
    return child;
  }
  close(fds[0]);
  try {
    TCommitMark* mark = new TCommitMark(folder + "/t.commit", ReplacePlan());
    mark->Write(".new.tmp", "new");
    if (commitToo) mark->Commit();
  } catch (...) {
    _exit(2);
  }
  char ready = 'r';
  if (write(fds[1], &ready, 1) != 1) _exit(3);
  for (;;) pause();
}

TEST(CommitMark, NothingIsTouchedWhileTheOwnerRunsAndAllOfItOnceItIsGone) {
  ScratchFolder dir;
  WriteBytes(dir.File("old.txt"), "old");
  int fds[2];
  const pid_t owner = StartOwner(dir.Path(), false, fds);
  ASSERT_GT(owner, 0);
  char ready;
  ASSERT_EQ(read(fds[0], &ready, 1), 1);
  close(fds[0]);
  const std::set<std::string> during = FolderNames(dir.Path());
  EXPECT_EQ(during, (std::set<std::string>{"old.txt", ".new.tmp", "t.commit"}));
  const TRecovery busy = RecoverCommit(dir.File("t.commit"));
  EXPECT_EQ(busy.outcome, TRecovery::Busy);
  EXPECT_FALSE(busy.moving);
  EXPECT_EQ(FolderNames(dir.Path()), during);

  kill(owner, SIGKILL);
  WaitFor(owner);
  const TRecovery undone = RecoverCommit(dir.File("t.commit"));
  EXPECT_EQ(undone.outcome, TRecovery::Undone);
  EXPECT_EQ(undone.kind, "test");
  EXPECT_EQ(undone.owner, owner);
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"old.txt"}));
  EXPECT_EQ(ReadBytes(dir.File("old.txt")), "old");
  EXPECT_EQ(RecoverCommit(dir.File("t.commit")).outcome, TRecovery::None);
}

// A mark written by hand, as a dead owner leaves it.
void WriteMark(const std::string& path, int owner, const std::string& boot,
               const std::string& tail) {
  WriteBytes(path, "tavlo commit mark\nkind test\nowner " + std::to_string(owner) + " " + boot +
                       "\nmake .new.tmp\nmove old.txt old.bak\nmove .new.tmp old.txt\nplan end\n" +
                       tail);
}

// An owner killed between creating its mark and writing the plan leaves an empty file; one
// still between the two holds the mark's lock.
TEST(CommitMark, AnEmptyMarkIsRemovedOnceNobodyHoldsIt) {
  ScratchFolder dir;
  WriteBytes(dir.File("old.txt"), "old");
  auto creating = Files().CreateNew(dir.File("t.commit"));
  EXPECT_EQ(RecoverCommit(dir.File("t.commit")).outcome, TRecovery::Busy);
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"old.txt", "t.commit"}));
  creating.reset();
  EXPECT_EQ(RecoverCommit(dir.File("t.commit")).outcome, TRecovery::Undone);
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"old.txt"}));
}

TEST(CommitMark, AMarkWithoutItsLockIsLeftWhileItsOwnerProcessRuns) {
  // On a file system without locks only the process id tells; the parent of this test runs.
  ScratchFolder dir;
  WriteBytes(dir.File("old.txt"), "old");
  WriteBytes(dir.File(".new.tmp"), "new");
  WriteMark(dir.File("t.commit"), static_cast<int>(getppid()), BootId(), "made .new.tmp\n");
  EXPECT_EQ(RecoverCommit(dir.File("t.commit")).outcome, TRecovery::Busy);
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"old.txt", ".new.tmp", "t.commit"}));
  // The same id recorded under another boot names a process that has ended.
  WriteMark(dir.File("t.commit"), static_cast<int>(getppid()), "another-boot", "made .new.tmp\n");
  EXPECT_EQ(RecoverCommit(dir.File("t.commit")).outcome, TRecovery::Undone);
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"old.txt"}));
}

TEST(CommitMark, RecoveryAfterTheMovesBeganFinishesThem) {
  ScratchFolder dir;
  // Killed after its first move: old.txt is already old.bak, the new file not yet in place.
  WriteBytes(dir.File("old.bak"), "old");
  WriteBytes(dir.File(".new.tmp"), "new");
  WriteMark(dir.File("t.commit"), 0, "gone", "made .new.tmp\nmoving\n");
  EXPECT_EQ(RecoverCommit(dir.File("t.commit")).outcome, TRecovery::Finished);
  EXPECT_EQ(ReadBytes(dir.File("old.txt")), "new");
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"old.txt", "old.bak"}));

  // Killed after its last move, before the mark went.
  WriteMark(dir.File("t.commit"), 0, "gone", "made .new.tmp\nmoving\n");
  EXPECT_EQ(RecoverCommit(dir.File("t.commit")).outcome, TRecovery::Finished);
  EXPECT_EQ(ReadBytes(dir.File("old.txt")), "new");
  EXPECT_EQ(ReadBytes(dir.File("old.bak")), "old");

  // Killed after "moving" but before the first move: nothing moved, so it is undone.
  WriteBytes(dir.File(".new.tmp"), "newer");
  WriteMark(dir.File("t.commit"), 0, "gone", "made .new.tmp\nmoving\n");
  std::remove(dir.File("old.bak").c_str());
  EXPECT_EQ(RecoverCommit(dir.File("t.commit")).outcome, TRecovery::Undone);
  EXPECT_EQ(ReadBytes(dir.File("old.txt")), "new");
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"old.txt"}));
}

TEST(CommitMark, ARecoveryTouchesNoFileTheMarkDoesNotProveOurs) {
  ScratchFolder dir;
  WriteBytes(dir.File("old.txt"), "old");
  // Planned but never recorded as made: it is someone else's (only an empty one, which holds
  // nothing, would go).
  WriteBytes(dir.File(".new.tmp"), "not made by the operation");
  WriteMark(dir.File("t.commit"), 0, "gone", "");
  EXPECT_EQ(RecoverCommit(dir.File("t.commit")).outcome, TRecovery::Undone);
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"old.txt", ".new.tmp"}));

  // Files that are not marks of this program, and names that lead out of the folder.
  WriteBytes(dir.File("t.commit"), "something else\n");
  EXPECT_EQ(RecoverCommit(dir.File("t.commit")).outcome, TRecovery::Foreign);
  WriteBytes(
      dir.File("t.commit"),
      "tavlo commit mark\nkind test\nowner 0 gone\nmake ../old.txt\nplan end\nmade ../old.txt\n");
  EXPECT_EQ(RecoverCommit(dir.File("t.commit")).outcome, TRecovery::Foreign);
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"old.txt", ".new.tmp", "t.commit"}));
  std::remove(dir.File("t.commit").c_str());
  ASSERT_EQ(mkdir(dir.File("t.commit").c_str(), 0755), 0);
  EXPECT_EQ(RecoverCommit(dir.File("t.commit")).outcome, TRecovery::Foreign);
}

TEST(CommitMark, NamesWithBlanksAndControlBytesSurviveTheMark) {
  ScratchFolder dir;
  const std::string odd = "my table %1\t\x01.dbf";
  WriteBytes(dir.File(odd), "old");
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t owner = fork();
  if (owner == 0) {
    TCommitMark* mark = new TCommitMark(
        dir.File("t.commit"), {"test", {".n " + odd}, {{odd, odd + ".bak"}, {".n " + odd, odd}}});
    mark->Write(".n " + odd, "new");
    if (write(fds[1], "r", 1) != 1) _exit(3);
    for (;;) pause();
  }
  close(fds[1]);
  char ready;
  ASSERT_EQ(read(fds[0], &ready, 1), 1);
  close(fds[0]);
  kill(owner, SIGKILL);
  WaitFor(owner);
  EXPECT_EQ(RecoverCommit(dir.File("t.commit")).outcome, TRecovery::Undone);
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{odd}));
}

TEST(CommitMark, PutNewFilesRefusesTakenNamesAndLeavesNothingOnFailure) {
  ScratchFolder dir;
  PutNewFiles(dir.File("c.commit"), "copy",
              {{dir.File("c.dbt"), "memo"}, {dir.File("c.dbf"), "data"}});
  EXPECT_EQ(ReadBytes(dir.File("c.dbt")), "memo");
  EXPECT_EQ(ReadBytes(dir.File("c.dbf")), "data");
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"c.dbt", "c.dbf"}));
  EXPECT_THROW_MSG(PutNewFiles(dir.File("d.commit"), "copy", {{dir.File("c.dbf"), "x"}}),
                   EDatabaseError, dir.File("c.dbf") + " already exists");
  EXPECT_THROW_MSG(PutNewFiles(dir.File("d.commit"), "copy",
                               {{dir.File("d.dbt"), "x"}, {dir.File("d.dbt"), "y"}}),
                   EDatabaseError, dir.File("d.dbt") + " would be written twice");
  // A full disk on the second file.
  tablefiles_test::FullDiskFileSystem full;
  full.writeBudget = 400;
  {
    ScopedFileSystem scoped(full);
    EXPECT_THROW(PutNewFiles(dir.File("e.commit"), "copy",
                             {{dir.File("e.dbt"), std::string(100, 'm')},
                              {dir.File("e.dbf"), std::string(500, 'd')}}),
                 EWriteError);
  }
  EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"c.dbt", "c.dbf"}));
}

}  // namespace
}  // namespace tavlo
