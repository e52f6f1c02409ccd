// Settings file behaviour: lookup rules, line endings, insert positions and write failures,
// over an in-memory file system so that a refused write can be injected.
#include "workspace/inifile.h"

#include <gtest/gtest.h>

#include <map>

#include "workspace/formplacement.h"
#include "workspace/workspacefolders.h"
#include "platform/errors.h"
#include "platform/filesystem.h"

namespace tavlo {
namespace {

// Files live in a map; paths under a "locked" folder refuse to be created.
class MemoryFiles : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::string lockedFolder = "/readonly/";
  int creates = 0;

  class Stream : public ByteStream {
   public:
    explicit Stream(std::string& data) : data_(data) {}
    std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override {
      if (offset >= static_cast<std::int64_t>(data_.size())) return 0;
      const std::size_t n = std::min(size, data_.size() - static_cast<std::size_t>(offset));
      data_.copy(static_cast<char*>(buffer), n, static_cast<std::size_t>(offset));
      return n;
    }
    void WriteAt(std::int64_t offset, const void* buffer, std::size_t size) override {
      const std::size_t end = static_cast<std::size_t>(offset) + size;
      if (data_.size() < end) data_.resize(end);
      data_.replace(static_cast<std::size_t>(offset), size, static_cast<const char*>(buffer), size);
    }
    std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }
    void Truncate(std::int64_t size) override { data_.resize(static_cast<std::size_t>(size)); }

   private:
    std::string& data_;
  };

  std::unique_ptr<ByteStream> Open(const std::string& path, OpenMode mode) override {
    if (mode == OpenMode::Create) {
      if (path.rfind(lockedFolder, 0) == 0) throw EFCreateError::ForPath(path);
      ++creates;
      files[path].clear();
    } else if (!files.count(path)) {
      throw EFOpenError::ForPath(path);
    }
    return std::make_unique<Stream>(files[path]);
  }
  bool FileExists(const std::string& path) override { return files.count(path) > 0; }
  bool DirectoryExists(const std::string&) override { return true; }
  bool DeleteFile(const std::string& path) override { return files.erase(path) > 0; }
  bool RenameFile(const std::string&, const std::string&) override { return false; }
  bool CreateDirectory(const std::string&) override { return false; }
  bool RemoveDirectory(const std::string&) override { return false; }
  std::vector<DirectoryEntry> ListDirectory(const std::string&) override { return {}; }
  std::int64_t FileSize(const std::string& path) override {
    return files.count(path) ? static_cast<std::int64_t>(files[path].size()) : -1;
  }
};

class IniFileTest : public ::testing::Test {
 protected:
  MemoryFiles memory;
  ScopedFileSystem scoped{memory};
  const std::string path = "/app/tavlo.ini";
};

TEST_F(IniFileTest, MissingFileReadsDefaults) {
  IniFile ini(path);
  EXPECT_TRUE(ini.Lines().empty());
  EXPECT_EQ(ini.ReadString("Settings", "lastfile", "none"), "none");
  EXPECT_EQ(ini.ReadInteger("TavloF", "Left", 74), 74);
  EXPECT_TRUE(ini.ReadBool("TavloF", "State", true));
  EXPECT_EQ(memory.creates, 0);
}

TEST_F(IniFileTest, SectionWithoutCaseKeyWithCase) {
  memory.files[path] = "[settings]\r\nLastFile=/x.dbf\r\nlastfile = /t/a b.dbf \r\n";
  IniFile ini(path);
  // The first line is LastFile, not lastfile: skipped; the second has blanks around "=".
  EXPECT_EQ(ini.ReadString("Settings", "lastfile", ""), "/t/a b.dbf");
  EXPECT_EQ(ini.ReadString("SETTINGS", "LastFile", ""), "/x.dbf");
  EXPECT_EQ(ini.ReadString("Settings", "LASTFILE", "d"), "d");
}

TEST_F(IniFileTest, HeaderWithBlanksIsNotFound) {
  memory.files[path] = " [Settings]\nlastfile=a\n";
  EXPECT_EQ(IniFile(path).ReadString("Settings", "lastfile", "d"), "d");
}

TEST_F(IniFileTest, SearchStopsAtNextSectionAndAtFirstMatch) {
  memory.files[path] = "[A]\nk=\nk=second\n[B]\nother=1\n";
  IniFile ini(path);
  // The first k is empty: the default, and the search ends there.
  EXPECT_EQ(ini.ReadString("A", "k", "d"), "d");
  EXPECT_EQ(ini.ReadString("A", "other", "d"), "d");
  EXPECT_EQ(ini.ReadString("B", "other", "d"), "1");
}

TEST_F(IniFileTest, AcceptsEveryLineEnding) {
  memory.files[path] = "[A]\rone=1\nTwo=2\r\nthree=3";
  IniFile ini(path);
  EXPECT_EQ(ini.Lines().size(), 4u);
  EXPECT_EQ(ini.ReadInteger("A", "one", 0), 1);
  EXPECT_EQ(ini.ReadInteger("A", "Two", 0), 2);
  EXPECT_EQ(ini.ReadInteger("A", "three", 0), 3);
}

TEST_F(IniFileTest, IntegersAndBooleans) {
  memory.files[path] =
      "[N]\nhex=0x1F\ndollar=$1F\nneg=-12\nbad=12px\nshort=0x\nbig=99999999999\n"
      "upper=0X10\nzero=0\nyes=7\n";
  IniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("N", "hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("N", "dollar", 0), 31);
  EXPECT_EQ(ini.ReadInteger("N", "upper", 0), 16);
  EXPECT_EQ(ini.ReadInteger("N", "neg", 0), -12);
  EXPECT_EQ(ini.ReadInteger("N", "bad", 5), 5);
  EXPECT_EQ(ini.ReadInteger("N", "short", 5), 5);
  EXPECT_EQ(ini.ReadInteger("N", "big", 5), 5);
  EXPECT_FALSE(ini.ReadBool("N", "zero", true));
  EXPECT_TRUE(ini.ReadBool("N", "yes", false));
  EXPECT_TRUE(ini.ReadBool("N", "bad", true));
}

TEST_F(IniFileTest, FirstWriteStartsSectionWithEmptyLine) {
  IniFile ini(path);
  ini.WriteString("Settings", "lastfile", "/t/a.dbf");
  EXPECT_EQ(memory.files[path], "\r\n[Settings]\r\nlastfile=/t/a.dbf\r\n");
  ini.WriteInteger("TavloF", "Left", 10);
  EXPECT_EQ(memory.files[path],
            "\r\n[Settings]\r\nlastfile=/t/a.dbf\r\n\r\n[TavloF]\r\nLeft=10\r\n");
  // A fresh reader sees what was written.
  EXPECT_EQ(IniFile(path).ReadInteger("TavloF", "Left", 0), 10);
}

TEST_F(IniFileTest, NewKeyGoesRightBeforeNextHeader) {
  memory.files[path] = "[A]\nx=1\n\n[B]\ny=2\n";
  IniFile ini(path);
  ini.WriteBool("A", "z", true);
  EXPECT_EQ(memory.files[path], "[A]\r\nx=1\r\n\r\nz=1\r\n[B]\r\ny=2\r\n");
  ini.WriteString("B", "w", "v");
  EXPECT_EQ(memory.files[path], "[A]\r\nx=1\r\n\r\nz=1\r\n[B]\r\ny=2\r\nw=v\r\n");
}

TEST_F(IniFileTest, ReplacesFirstOfDuplicateKeysAndKeepsOtherText) {
  memory.files[path] = "; comment\n[s]\nk=1\nnoise\nk=2\n";
  IniFile ini(path);
  EXPECT_EQ(ini.ReadString("S", "k", ""), "1");
  ini.WriteString("S", "k", "3");
  EXPECT_EQ(memory.files[path], "; comment\r\n[s]\r\nk=3\r\nnoise\r\nk=2\r\n");
}

TEST_F(IniFileTest, EmptyKeyWritesOnlyTheHeader) {
  IniFile ini(path);
  ini.WriteString("Empty", "", "ignored");
  EXPECT_EQ(memory.files[path], "\r\n[Empty]\r\n");
  ini.WriteString("Empty", "", "ignored");
  EXPECT_EQ(memory.files[path], "\r\n[Empty]\r\n");
}

TEST_F(IniFileTest, ReadOnlyFolderRaisesAndStopsTheHandler) {
  const std::string locked = "/readonly/tavlo.ini";
  FormPlacementStore store(locked);
  try {
    store.SavePlacement("TavloF", WindowPlacement{false, 1, 2, 3, 4});
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_STREQ(e.what(), "Cannot create file /readonly/tavlo.ini");
  }
  EXPECT_EQ(memory.files.count(locked), 0u);
}

TEST_F(IniFileTest, PlacementRoundTripAndMaximized) {
  FormPlacementStore store(path);
  WindowPlacement designed{false, 74, 86, 793, 533};
  WindowPlacement placement = designed;
  store.LoadPlacement("TavloF", placement);
  EXPECT_FALSE(placement.maximized);
  EXPECT_EQ(placement.width, 793);

  store.SavePlacement("TavloF", WindowPlacement{false, 5, 6, 700, 500});
  placement = designed;
  store.LoadPlacement("tavlof", placement);
  EXPECT_EQ(placement.left, 5);
  EXPECT_EQ(placement.top, 6);
  EXPECT_EQ(placement.width, 700);
  EXPECT_EQ(placement.height, 500);

  // Maximized writes only State; the numbers of the last normal save stay in the file.
  store.SavePlacement("TavloF", WindowPlacement{true, 0, 0, 0, 0});
  EXPECT_EQ(memory.files[path],
            "\r\n[TavloF]\r\nState=1\r\nLeft=5\r\nTop=6\r\nWidth=700\r\nHeight=500\r\n");
  placement = designed;
  store.LoadPlacement("TavloF", placement);
  EXPECT_TRUE(placement.maximized);
  EXPECT_EQ(placement.left, 74);
}

TEST_F(IniFileTest, PartialPlacementKeepsCurrentValues) {
  memory.files[path] = "[PropertiesF]\nLeft=abc\nWidth=300\n";
  WindowPlacement placement{false, 398, 193, 277, 370};
  FormPlacementStore(path).LoadPlacement("PropertiesF", placement);
  EXPECT_EQ(placement.left, 398);
  EXPECT_EQ(placement.top, 193);
  EXPECT_EQ(placement.width, 300);
  EXPECT_EQ(placement.height, 370);
}

TEST_F(IniFileTest, StoreStringUsesValueAsDefault) {
  FormPlacementStore store(path);
  std::string value = "fallback";
  store.ReadString("Settings", "lastfile", value);
  EXPECT_EQ(value, "fallback");
  store.WriteString("Settings", "lastfile", "/a.dbf");
  store.ReadString("Settings", "lastfile", value);
  EXPECT_EQ(value, "/a.dbf");
}

TEST(SettingsFilePathTest, ReplacesOrAppendsExtension) {
  EXPECT_EQ(SettingsFilePath("/opt/tavlo/tavlo"), "/opt/tavlo/tavlo.ini");
  EXPECT_EQ(SettingsFilePath("/opt/tavlo/tavlo.exe"), "/opt/tavlo/tavlo.ini");
  EXPECT_EQ(SettingsFilePath("/opt/v1.2/tavlo"), "/opt/v1.2/tavlo.ini");
}

}  // namespace
}  // namespace tavlo
