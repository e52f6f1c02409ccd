// Paged files shared by real processes: user slots, record locks across programs, and two
// programs appending at the same moment. The other program is pagedfile_child, driven line by
// line through pipes.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>

#include "pagedfile/pagedfile.h"
#include "tempfolder.h"
#include "text/qelstrings.h"

namespace tavlo {
namespace {

using testing::Exists;
using testing::TempFolder;

class Child {
 public:
  Child() {
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(toChild[0], 0);
      dup2(fromChild[1], 1);
      close(toChild[0]);
      close(toChild[1]);
      close(fromChild[0]);
      close(fromChild[1]);
      execl(TAVLO_PAGEDFILE_CHILD, TAVLO_PAGEDFILE_CHILD, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    in_ = fdopen(toChild[1], "w");
    out_ = fdopen(fromChild[0], "r");
  }
  ~Child() {
    std::fputs("quit\n", in_);
    std::fclose(in_);
    std::fclose(out_);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  void Send(const std::string& command) {
    std::fputs((command + "\n").c_str(), in_);
    std::fflush(in_);
  }
  std::string Answer() {
    char line[4096];
    if (!std::fgets(line, sizeof line, out_)) return "<no answer>";
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }
  std::string Ask(const std::string& command) {
    Send(command);
    return Answer();
  }

 private:
  pid_t pid_ = -1;
  FILE* in_ = nullptr;
  FILE* out_ = nullptr;
};

class MultiProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { TqelPagedFile().Create(path_, 64, "alice", "Secret12"); }
  std::string OpenCommand() const { return "open " + path_ + " alice Secret12"; }

  TempFolder folder_;
  std::string path_ = folder_.File("shared.jpf");
};

TEST_F(MultiProcessTest, SlotsAcrossProgramsAndTheUsersFileGoesAfterBothClose) {
  Child first, second;
  EXPECT_EQ(first.Ask(OpenCommand()), "ok 2");
  EXPECT_EQ(second.Ask(OpenCommand()), "ok 3");
  EXPECT_TRUE(Exists(folder_.File("shared.users")));
  EXPECT_EQ(first.Ask("close"), "ok");
  EXPECT_TRUE(Exists(folder_.File("shared.users")));
  EXPECT_EQ(second.Ask("close"), "ok");
  EXPECT_FALSE(Exists(folder_.File("shared.users")));
}

TEST_F(MultiProcessTest, ForUpdateSelectLocksRecordsAgainstOtherPrograms) {
  {
    TqelPagedFile f;
    f.Open(path_, "alice", "Secret12");
    f.Append("name=\"one\"");
    f.Append("name=\"two\"");
  }
  Child other;
  ASSERT_EQ(other.Ask(OpenCommand()), "ok 2");
  ASSERT_EQ(other.Ask("select 1"), "ok 2");

  TqelPagedFile f;
  f.Open(path_, "alice", "Secret12");
  EXPECT_THROW_MSG(f.Select("", true), EqelPageError,
                   "Record locked by another user. Can not read.");
  EXPECT_NO_THROW(f.Select("", false));  // reading ignores locks
  EXPECT_EQ(f.Count(), 2);
  // A new select in the other program releases its locks.
  ASSERT_EQ(other.Ask("select 0"), "ok 2");
  EXPECT_NO_THROW(f.Select("", true));
  EXPECT_EQ(f.Count(), 2);
  EXPECT_EQ(other.Ask("select 1"), "error Record locked by another user. Can not read.");
}

TEST_F(MultiProcessTest, TwoProgramsAppendingAtOnceNeverShareAPage) {
  const int perChild = 1000;
  {
    Child a, b;
    ASSERT_EQ(a.Ask(OpenCommand()), "ok 2");
    ASSERT_EQ(b.Ask(OpenCommand()), "ok 3");
    a.Send("appendmany " + std::to_string(perChild) + " A");
    b.Send("appendmany " + std::to_string(perChild) + " B");
    EXPECT_EQ(a.Answer(), "ok");
    EXPECT_EQ(b.Answer(), "ok");
  }
  TqelPagedFile f;
  f.Open(path_, "alice", "Secret12");
  f.Select("", false);
  ASSERT_EQ(f.Count(), 2 * perChild);
  std::set<std::string> seen;
  for (int i = 0; i < f.Count(); ++i) {
    std::string text = f.Get(i);
    std::string id = AttrGet(text, "id");
    // Each chain reads back its own text: the pad ends with the record's id.
    std::string pad = AttrGet(text, "pad");
    ASSERT_GE(pad.size(), id.size()) << text;
    EXPECT_EQ(pad.substr(pad.size() - id.size()), id) << text;
    EXPECT_TRUE(seen.insert(id).second) << "twice: " << id;
  }
  for (int i = 0; i < perChild; ++i) {
    EXPECT_TRUE(seen.count("A-" + std::to_string(i))) << i;
    EXPECT_TRUE(seen.count("B-" + std::to_string(i))) << i;
  }
}

}  // namespace
}  // namespace tavlo
