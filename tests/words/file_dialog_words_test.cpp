// The file, file-name, dialog, clipboard and shell words through TqelScript, the dialogs
// answered by a recording host.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/desktophost.h"
#include "platform/filesystem.h"
#include "text/qelstrings.h"
#include "wordtest.h"

namespace tavlo {
namespace {

using FileNameWords = WordTest;

TEST_F(FileNameWords, WindowsNames) {
  const std::string f = "'C:\\data\\report.drpt' ";
  EXPECT_EQ(RunText(f + "'.html' changefileext"), "C:\\data\\report.html");
  EXPECT_EQ(RunText("'C:\\data\\report' '.txt' changefileext"), "C:\\data\\report.txt");
  EXPECT_EQ(RunText(f + "'' changefileext"), "C:\\data\\report");
  EXPECT_EQ(RunText("'C:\\da.ta\\report' '.txt' changefileext"), "C:\\da.ta\\report.txt");
  EXPECT_EQ(RunText(f + "extractfilepath"), "C:\\data\\");
  EXPECT_EQ(RunText(f + "extractfiledir"), "C:\\data");
  EXPECT_EQ(RunText(f + "extractfilename"), "report.drpt");
  EXPECT_EQ(RunText(f + "extractfileext"), ".drpt");
  EXPECT_EQ(RunText(f + "extractfiledrive"), "C:");
  EXPECT_EQ(RunText("'C:\\' extractfiledir"), "C:\\");
  EXPECT_EQ(RunText("'C:x.txt' extractfilepath"), "C:");
  EXPECT_EQ(RunText("'C:x.txt' extractfilename"), "x.txt");
  EXPECT_EQ(RunText("'\\\\server\\share\\dir\\a.txt' extractfiledrive"), "\\\\server\\share");
  EXPECT_EQ(RunText("'\\\\server\\share' extractfiledrive"), "\\\\server\\share");
  EXPECT_EQ(RunText("'report' extractfileext"), "");
  EXPECT_EQ(RunText("'report' extractfilepath"), "");
  EXPECT_EQ(RunText("'report' extractfiledir"), "");
}

TEST_F(FileNameWords, LinuxNames) {
  const std::string f = "'/home/ann/tables/people.dbf' ";
  EXPECT_EQ(RunText(f + "extractfilepath"), "/home/ann/tables/");
  EXPECT_EQ(RunText(f + "extractfiledir"), "/home/ann/tables");
  EXPECT_EQ(RunText(f + "extractfilename"), "people.dbf");
  EXPECT_EQ(RunText(f + "extractfileext"), ".dbf");
  EXPECT_EQ(RunText(f + "extractfiledrive"), "");
  EXPECT_EQ(RunText(f + "'.dbt' changefileext"), "/home/ann/tables/people.dbt");
  EXPECT_EQ(RunText("'/x' extractfiledir"), "/");
  EXPECT_EQ(RunText("'/a.b/c' extractfileext"), "");
  EXPECT_EQ(RunText("'/a.b/c' '.d' changefileext"), "/a.b/c.d");
}

class FileWords : public WordTest {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavlo_filewords_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = std::string(pattern) + "/";
  }
  void TearDown() override {
    for (const DirectoryEntry& e : OsFiles().ListDirectory(folder_)) {
      if (e.isDirectory) {
        OsFiles().RemoveDirectory(folder_ + e.name);
      } else {
        OsFiles().DeleteFile(folder_ + e.name);
      }
    }
    OsFiles().RemoveDirectory(folder_);
  }
  std::string Quoted(const std::string& name) const { return "'" + folder_ + name + "' "; }
  std::string folder_;
};

TEST_F(FileWords, ListingAndExistence) {
  SaveStringToFile(folder_ + "a.txt", "1");
  SaveStringToFile(folder_ + "b.txt", "2");
  SaveStringToFile(folder_ + "c.dbf", "3");
  std::string listing = RunText("'" + folder_ + "' '*.txt' files");
  const std::string a = folder_ + "a.txt\r\n", b = folder_ + "b.txt\r\n";
  EXPECT_TRUE(listing == a + b || listing == b + a) << listing;
  EXPECT_EQ(RunText("'" + folder_ + "' '*.none' files"), "");
  EXPECT_TRUE(Run(Quoted("a.txt") + "fileexists").BooleanValue());
  EXPECT_FALSE(Run(Quoted("z.txt") + "fileexists").BooleanValue());
  EXPECT_FALSE(Run("'" + folder_ + "' fileexists").BooleanValue());
  EXPECT_TRUE(Run("'" + folder_ + "' directoryexists").BooleanValue());
  EXPECT_FALSE(Run(Quoted("a.txt") + "directoryexists").BooleanValue());
}

TEST_F(FileWords, ChangesFailSilently) {
  SaveStringToFile(folder_ + "a.txt", "1");
  Run(Quoted("a.txt") + Quoted("b.txt") + "renamefile");
  EXPECT_TRUE(OsFiles().FileExists(folder_ + "b.txt"));
  EXPECT_FALSE(OsFiles().FileExists(folder_ + "a.txt"));
  Run(Quoted("none.txt") + Quoted("c.txt") + "renamefile");
  EXPECT_FALSE(OsFiles().FileExists(folder_ + "c.txt"));

  Run(Quoted("sub") + "createdir");
  EXPECT_TRUE(OsFiles().DirectoryExists(folder_ + "sub"));
  Run(Quoted("x/y/z") + "createdir");  // parent missing: nothing happens
  EXPECT_FALSE(OsFiles().DirectoryExists(folder_ + "x"));
  SaveStringToFile(folder_ + "sub/f", "");
  Run(Quoted("sub") + "removedir");  // not empty: stays
  EXPECT_TRUE(OsFiles().DirectoryExists(folder_ + "sub"));
  Run(Quoted("sub/f") + "deletefile " + Quoted("sub") + "removedir");
  EXPECT_FALSE(OsFiles().DirectoryExists(folder_ + "sub"));
  Run(Quoted("gone.txt") + "deletefile");
  EXPECT_EQ(script.StackCount(), 0);
}

TEST_F(FileWords, ChdirChangesTheCurrentFolderOrRaises) {
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  Run("'" + folder_ + "' chdir");
  SaveStringToFile("here.txt", "x");
  EXPECT_TRUE(OsFiles().FileExists(folder_ + "here.txt"));
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_THROW(Run(Quoted("missing") + "chdir"), EInOutError);
}

// Answers every dialog with a fixed choice (or cancels) and records what was asked.
class RecordingHost : public DesktopHost {
 public:
  bool cancel = false;
  std::vector<std::string> calls;
  std::string clipboard;

  void ShowMessage(const std::string& text) override { calls.push_back("message:" + text); }
  void Say(const std::string& text) override { calls.push_back("say:" + text); }
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& defaultValue) override {
    calls.push_back("input:" + caption + "|" + prompt + "|" + defaultValue);
    if (cancel) return std::nullopt;
    return std::string("typed");
  }
  std::optional<std::string> OpenFileDialog(const std::string&, const std::string&,
                                            const std::string&) override {
    calls.push_back("open");
    if (cancel) return std::nullopt;
    return std::string("/o.txt");
  }
  std::optional<std::string> SaveFileDialog(const std::string&, const std::string&,
                                            const std::string&, const std::string&) override {
    calls.push_back("save");
    if (cancel) return std::nullopt;
    return std::string("/s.txt");
  }
  std::optional<std::uint32_t> ColorDialog(std::uint32_t) override {
    calls.push_back("color");
    if (cancel) return std::nullopt;
    return 0x00FF8000u;
  }
  std::optional<std::string> FolderDialog(const std::string&,
                                          const std::string& initialFolder) override {
    calls.push_back("folder:" + initialFolder);
    if (cancel) return std::nullopt;
    return std::string("/chosen");
  }
  std::string ClipboardText() override { return clipboard; }
  void SetClipboardText(const std::string& text) override { clipboard = text; }
  bool ShellOpen(const std::string& target, const std::string& parameters,
                 const std::string& folder) override {
    calls.push_back("shell:" + target + "|" + parameters + "|" + folder);
    return false;
  }
};

class DialogWords : public WordTest {
 protected:
  RecordingHost host;
  ScopedDesktopHost scope{host};
};

TEST_F(DialogWords, AnsweredDialogs) {
  Run("'hello' say");
  EXPECT_EQ(RunText("'Name?' ask"), "typed");
  EXPECT_EQ(RunText("dlgopen"), "/o.txt");
  EXPECT_EQ(RunText("dlgsave"), "/s.txt");
  EXPECT_EQ(RunInteger("dlgcolor"), 0xFF8000);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"say:hello", "input:qelScript|Name?|", "open",
                                                  "save", "color"}));
  const std::string start = script.DataSourceFolder();
  Run("seldir");
  EXPECT_EQ(host.calls.back(), "folder:" + start);
  EXPECT_EQ(script.DataSourceFolder(), "/chosen");
  EXPECT_EQ(script.StackCount(), 0);
}

TEST_F(DialogWords, CancelledDialogs) {
  host.cancel = true;
  EXPECT_EQ(RunText("'Name?' ask"), "");
  EXPECT_EQ(RunText("dlgopen"), "");
  EXPECT_EQ(RunText("dlgsave"), "");
  EXPECT_TRUE(Run("dlgcolor").IsNull());
  const std::string start = script.DataSourceFolder();
  Run("seldir");
  EXPECT_EQ(script.DataSourceFolder(), start);
}

TEST_F(DialogWords, ClipboardAndShell) {
  Run("'copied' copytext");
  EXPECT_EQ(host.clipboard, "copied");
  EXPECT_EQ(RunText("pastetext"), "copied");
  // A failed request is not reported and the script goes on.
  EXPECT_EQ(RunInteger("'%doc.html' '-x' shellexecute 7"), 7);
  EXPECT_EQ(host.calls.back(), "shell:" + script.AppFolder() + "doc.html|-x|");
}

}  // namespace
}  // namespace tavlo
