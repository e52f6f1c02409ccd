// Packs and repaired copies killed (SIGKILL) at random moments while other processes open
// the table again and again through the cursor: every reader sees whole tables whose memos
// are their records' own, and after each kill the table is the old one or the new one whole,
// with nothing left behind once it has been opened; checked by a reader of the bytes and, where
// it is installed, by Python's dbfread.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <thread>

#include "dbf/dbferrors.h"
#include "dbf/fields.h"
#include "dbf/tabledoctor.h"
#include "dbf/tablepack.h"
#include "dbf/tdbf.h"
#include "pack_testutil.h"
#include "platform/desktophost.h"
#include "testsupport.h"

namespace tavlo {
namespace {

using packtest::FolderNames;
using packtest::MakeMemoTable;
using packtest::ReadBytes;
using packtest::ReadRaw;
using packtest::WaitFor;
using packtest::WriteBytes;
using testsupport::ScratchFolder;

constexpr int kRecords = 1500;

// Opens the table through the cursor until told to stop and checks what it shows. A missing
// table counts only where allowed (a repaired copy not yet there). Exits 0, or 1 with the
// problem on standard error.
[[noreturn]] void ReadUntilStopped(const std::string& path, int stopFd, int live,
                                   bool mayBeMissing) {
  SilentDesktopHost host;
  ScopedDesktopHost scopedHost(host);
  std::mt19937 random(static_cast<unsigned>(getpid()));
  for (int round = 0;; ++round) {
    // A short pause leaves the packing process its share of the processor.
    pollfd stop{stopFd, POLLIN, 0};
    if (poll(&stop, 1, std::uniform_int_distribution<int>(0, 2)(random)) > 0) _exit(0);
    try {
      TDbf table;
      table.SetTableName(path);
      table.SetReadOnly(true);
      table.Open();
      // Most opens look at the first records only, so that opens come often; every fourth
      // reads the whole table.
      const int limit = round % 4 == 0 ? live : 20;
      int seen = 0;
      for (table.First(); !table.AtEnd() && seen < limit; table.Next()) {
        const std::string name = table.FieldByName("NAME").TextValue();
        const std::string notes = table.FieldByName("NOTES").TextValue();
        if (notes.rfind(name + " says ", 0) != 0) {
          std::fprintf(stderr, "reader: %s shows the memo '%.20s'\n", name.c_str(), notes.c_str());
          _exit(1);
        }
        ++seen;
      }
      if (seen != limit) {
        std::fprintf(stderr, "reader: %d live records, not %d\n", seen, live);
        _exit(1);
      }
    } catch (const EBinaryDataSetError& error) {
      if (!mayBeMissing) {
        std::fprintf(stderr, "reader: %s\n", error.what());
        _exit(1);
      }
    } catch (const std::exception& error) {
      std::fprintf(stderr, "reader: %s\n", error.what());
      _exit(1);
    }
  }
}

class Readers {
 public:
  Readers(const std::string& path, int live, bool mayBeMissing, int count = 2) {
    if (pipe(stop_) != 0) ADD_FAILURE() << "pipe";
    for (int i = 0; i < count; ++i) {
      const pid_t child = fork();
      if (child == 0) {
        close(stop_[1]);
        ReadUntilStopped(path, stop_[0], live, mayBeMissing);
      }
      children_.push_back(child);
    }
    close(stop_[0]);
  }
  // True when every reader saw only whole tables.
  bool Stop() {
    close(stop_[1]);
    bool fine = true;
    for (pid_t child : children_) fine = WaitFor(child) == 0 && fine;
    return fine;
  }

 private:
  int stop_[2];
  std::vector<pid_t> children_;
};

bool HavePeer() {
  return access("/usr/bin/python3", X_OK) == 0 &&
         std::system("/usr/bin/python3 -c 'import dbfread' 2>/dev/null") == 0;
}

// dbfread reads the table with every live record's memo its own.
bool PeerAgrees(const std::string& path, int live) {
  const std::string command =
      "/usr/bin/python3 -c \"import sys, dbfread\n"
      "rows = list(dbfread.DBF(sys.argv[1], load=False))\n"
      "bad = [r['NAME'] for r in rows if not (r['NOTES'] or '').startswith(r['NAME'] + ' says ')]\n"
      "assert not bad and len(rows) == int(sys.argv[2]), (bad[:3], len(rows))\" '" +
      path + "' " + std::to_string(live);
  return std::system(command.c_str()) == 0;
}

// Runs body in a child, kills it after delay (it may end before), and says how it ended;
// took receives how long the child ran.
int RunAndKill(const std::function<void()>& body, std::chrono::microseconds delay,
               std::chrono::microseconds* took = nullptr) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    try {
      body();
    } catch (const std::exception& error) {
      std::fprintf(stderr, "child: %s\n", error.what());
      _exit(2);
    }
    _exit(0);
  }
  if (delay.count() >= 0) {
    std::this_thread::sleep_for(delay);
    kill(child, SIGKILL);
  }
  const int status = WaitFor(child);
  if (took != nullptr)
    *took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                  start);
  return status;
}

// How long body takes in a child while readers open the table: the span kills are spread over.
std::chrono::microseconds TimeWithReaders(const std::string& path, int live, bool mayBeMissing,
                                          const std::function<void()>& body) {
  Readers readers(path, live, mayBeMissing);
  std::chrono::microseconds took{0};
  EXPECT_EQ(RunAndKill(body, std::chrono::microseconds(-1), &took), 0);
  EXPECT_TRUE(readers.Stop());
  return took;
}

TEST(TablePackKill, KilledPacksWithReadersLeaveTheOldOrTheNewTableWhole) {
  ScratchFolder dir;
  const std::string path = dir.File("t.dbf");
  const std::string memo = dir.File("t.dbt");
  const int live = MakeMemoTable(path, memo, kRecords);
  const std::string oldData = ReadBytes(path);
  const std::string oldMemo = ReadBytes(memo);
  const auto reset = [&] {
    for (const std::string& name : FolderNames(dir.Path())) std::remove(dir.File(name).c_str());
    WriteBytes(path, oldData);
    WriteBytes(memo, oldMemo);
  };
  const std::chrono::microseconds packTime =
      TimeWithReaders(path, live, false, [&] { PackTable(path); });
  const bool peer = HavePeer();
  std::mt19937 random(20240611);
  int killed = 0;
  // A loaded machine times the first run apart from the others: while too few runs were
  // killed, more rounds follow with ever shorter delays.
  for (int round = 0; round < 12 || (killed < 2 && round < 36); ++round) {
    reset();
    const int shorter = round < 12 ? 0 : (round - 12) / 4 + 1;
    const auto delay = std::chrono::microseconds(
        std::uniform_int_distribution<long>(0, (packTime.count() * 11 / 10) >> shorter)(random));
    SCOPED_TRACE("round " + std::to_string(round) + ", killed after " +
                 std::to_string(delay.count()) + " us of a " + std::to_string(packTime.count()) +
                 " us pack");
    Readers readers(path, live, false);
    const int status = RunAndKill([&] { PackTable(path); }, delay);
    ASSERT_TRUE(status == 0 || status == 128 + SIGKILL) << status;
    killed += status != 0 ? 1 : 0;
    // Readers go on for a moment with the pack gone: one of them finishes or undoes it.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(readers.Stop());

    {
      TDbf table;  // the open that finishes or undoes it, if no reader did
      table.SetTableName(path);
      table.Open();
    }
    const packtest::RawTable raw = ReadRaw(path, memo);
    EXPECT_TRUE(raw.dataThere);
    EXPECT_TRUE(raw.problems.empty()) << raw.problems.front();
    EXPECT_EQ(raw.live, live);
    EXPECT_TRUE(raw.deleted == 0 || raw.deleted == kRecords - live) << raw.deleted;
    for (const std::string& name : FolderNames(dir.Path())) {
      EXPECT_TRUE(name == "t.dbf" || name == "t.dbt" || name == "t.bak.dbf" || name == "t.bak.dbt")
          << "left behind: " << name;
    }
    if (peer) {
      EXPECT_TRUE(PeerAgrees(path, live));
    }
  }
  EXPECT_GE(killed, 4);
}

TEST(TablePackKill, KilledRepairsLeaveACopyWholeOrNoneAndNothingHidden) {
  ScratchFolder dir;
  const std::string path = dir.File("t.dbf");
  const int live = MakeMemoTable(path, dir.File("t.dbt"), kRecords);
  const std::string copy = dir.File("f.dbf");
  const auto reset = [&] {
    for (const std::string& name : FolderNames(dir.Path()))
      if (name != "t.dbf" && name != "t.dbt") std::remove(dir.File(name).c_str());
  };
  const std::chrono::microseconds repairTime =
      TimeWithReaders(copy, live, true, [&] { RepairTable(path, copy); });
  std::mt19937 random(7);
  int killed = 0;
  // A loaded machine times the first run apart from the others: while too few runs were
  // killed, more rounds follow with ever shorter delays.
  for (int round = 0; round < 8 || (killed < 2 && round < 24); ++round) {
    reset();
    const int shorter = round < 8 ? 0 : (round - 8) / 4 + 1;
    const auto delay = std::chrono::microseconds(
        std::uniform_int_distribution<long>(0, (repairTime.count() * 11 / 10) >> shorter)(random));
    SCOPED_TRACE("round " + std::to_string(round) + ", killed after " +
                 std::to_string(delay.count()) + " us");
    Readers readers(copy, live, true);
    const int status = RunAndKill([&] { RepairTable(path, copy); }, delay);
    ASSERT_TRUE(status == 0 || status == 128 + SIGKILL) << status;
    killed += status != 0 ? 1 : 0;
    EXPECT_TRUE(readers.Stop());

    // Trying again finishes or undoes the killed repair first.
    try {
      RepairTable(path, copy);
    } catch (const EDatabaseError& error) {
      EXPECT_EQ(std::string(error.what()),
                copy + " already exists; the repaired copy must be a new file");
    }
    const packtest::RawTable raw = ReadRaw(copy, dir.File("f.dbt"));
    EXPECT_TRUE(raw.problems.empty()) << raw.problems.front();
    EXPECT_EQ(raw.live, live);
    EXPECT_EQ(FolderNames(dir.Path()), (std::set<std::string>{"t.dbf", "t.dbt", "f.dbf", "f.dbt"}));
  }
  EXPECT_GE(killed, 2);
}

}  // namespace
}  // namespace tavlo
