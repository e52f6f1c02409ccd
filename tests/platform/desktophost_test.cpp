// The headless host: where messages and input go, cancelled dialogs, the clipboard, and the
// shell's open starting a detached program without waiting for it.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/headlesshost.h"
#include "platformtest.h"

namespace tavlo {
namespace {

std::string Contents(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  int c;
  while ((c = std::fgetc(f)) != EOF) text += static_cast<char>(c);
  return text;
}

struct Streams {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Streams(const std::string& input) {
    std::fputs(input.c_str(), in);
    std::rewind(in);
  }
  ~Streams() {
    std::fclose(in);
    std::fclose(out);
    std::fclose(err);
  }
};

TEST(HeadlessHost, MessagesInputAndDialogs) {
  auto western = NewTableCodePages(850, 1252);
  ScopedCodePages pages{*western};
  Streams s("first line\r\nsecond \xC3\xA9\n");
  auto host = NewHeadlessHost(s.in, s.out, s.err);
  host->ShowMessage("Record count corrected");
  host->Say("caf\xE9");  // ANSI é is written as UTF-8
  EXPECT_EQ(Contents(s.err), "Record count corrected\n");
  EXPECT_EQ(Contents(s.out), "caf\xC3\xA9\n");
  EXPECT_EQ(host->InputBox("Caption", "Name?", "default"), "first line");
  EXPECT_EQ(host->InputBox("Caption", "Name?", "default"), "second \xE9");
  EXPECT_EQ(host->InputBox("Caption", "Name?", "default"), "");  // end of input
  EXPECT_EQ(host->OpenFileDialog("t", "Tables|*.dbf", "/tmp"), std::nullopt);
  EXPECT_EQ(host->SaveFileDialog("t", "Tables|*.dbf", "/tmp", "dbf"), std::nullopt);
  EXPECT_EQ(host->ColorDialog(0x00FF00), std::nullopt);
  EXPECT_EQ(host->FolderDialog("t", "/tmp"), std::nullopt);
  EXPECT_EQ(host->ClipboardText(), "");
  host->SetClipboardText("copied");
  EXPECT_EQ(host->ClipboardText(), "copied");
}

TEST(HeadlessHost, ScopedHostReplacesTheDefault) {
  Streams s("");
  auto host = NewHeadlessHost(s.in, s.out, s.err);
  DesktopHost* before = &Host();
  {
    ScopedDesktopHost scoped{*host};
    Host().ShowMessage("routed");
  }
  EXPECT_EQ(&Host(), before);
  EXPECT_EQ(Contents(s.err), "routed\n");
}

TEST(HeadlessHost, SplitsParametersLikeAShell) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitParameters(""), V{});
  EXPECT_EQ(SplitParameters("  a  b "), (V{"a", "b"}));
  EXPECT_EQ(SplitParameters("\"report one.html\" -x"), (V{"report one.html", "-x"}));
  EXPECT_EQ(SplitParameters("a\"b c\"d \"\""), (V{"ab cd", ""}));
}

TEST(HeadlessHost, ShellOpenStartsDetachedAndNeverWaits) {
  testing::TempFolder dir;
  auto host = NewHeadlessHost();
  std::uint64_t start = TickCount();
  // Runs in the given folder; the host returns before the program ends.
  ASSERT_TRUE(host->ShellOpen("/bin/sh", "-c \"sleep 2; echo started > out.txt\"", dir.Path()));
  EXPECT_LT(TickCount() - start, 1500u);  // generous: the machine may be busy
  std::string out = dir.File("out.txt");
  std::string text;
  for (int i = 0; i < 300 && text.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(out);
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  EXPECT_EQ(text, "started\n");
  EXPECT_FALSE(host->ShellOpen("/no/such/program", "-x", ""));
  EXPECT_FALSE(host->ShellOpen("/bin/sh", "-c true", dir.File("missing-folder")));
  EXPECT_FALSE(host->ShellOpen("", "", ""));
}

}  // namespace
}  // namespace tavlo
