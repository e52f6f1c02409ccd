// Tests of the memo file: both layouts, block size rules, in-place and appended stores,
// damaged memo files, and the memo stream.
#include <gtest/gtest.h>

#include <cstring>

#include "dbf/memofile.h"
#include "tablefiles_testutil.h"

namespace tavlo {
namespace {

using namespace tablefiles_test;

class MemoFileTest : public ::testing::Test {
 protected:
  ScratchFolder folder;
  std::string path = folder.File("notes.dbt");

  TDbtFile& Make(std::uint8_t level, OpenMode mode) {
    files_.push_back(new TDbtFile(path, level, mode));
    return *files_.back();
  }
  void TearDown() override {
    for (TDbtFile* file : files_) TPagedFile::Release(file);
  }
  // A memo file of the given block size and next free block with extra bytes after block 0.
  void WriteMemoFile(int blockSize, std::uint32_t nextFree, const std::string& blocks) {
    std::string header(512, '\0');
    for (int i = 0; i < 4; ++i) header[i] = static_cast<char>(nextFree >> (8 * i));
    header[20] = static_cast<char>(blockSize & 0xFF);
    header[21] = static_cast<char>(blockSize >> 8);
    header.resize(static_cast<std::size_t>(blockSize == 0 ? 512 : blockSize), '\0');
    WriteBytes(path, header + blocks);
  }

 private:
  std::vector<TDbtFile*> files_;
};

std::string LevelOneBlock(const std::string& text, std::uint32_t statedLength) {
  std::string block = "\xFF\xFF\x08";
  block += '\0';
  for (int i = 0; i < 4; ++i) block += static_cast<char>(statedLength >> (8 * i));
  return block + text;
}

TEST_F(MemoFileTest, FirstLevelZeroMemoGoesToBlockOne) {
  TDbtFile& memo = Make(0, OpenMode::Create);
  std::int32_t block = 0;
  memo.StoreMemoText(block, 0, "Hello");
  EXPECT_EQ(block, 1);
  std::string bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 512u + 7);
  EXPECT_EQ(bytes.substr(512), "Hello\x1A\x1A");
  EXPECT_EQ(bytes[0], 2);  // next free block
  EXPECT_EQ(static_cast<unsigned char>(bytes[20]) | static_cast<unsigned char>(bytes[21]) << 8,
            512);
  EXPECT_EQ(bytes.substr(24, 488), std::string(488, '\0'));
  EXPECT_EQ(memo.LoadMemoText(1), "Hello");
}

TEST_F(MemoFileTest, MemosTakeWholeBlocksWithTheirHeaderAndTrailer) {
  {
    TDbtFile& memo = Make(0, OpenMode::Create);
    std::int32_t first = 0, second = 0;
    memo.StoreMemoText(first, 0, std::string(600, 'a'));
    memo.StoreMemoText(second, 0, "next");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 3);
    EXPECT_EQ(memo.LoadMemoText(1), std::string(600, 'a'));
    EXPECT_EQ(memo.LoadMemoText(3), "next");
  }
  path = folder.File("level1.dbt");
  TDbtFile& memo = Make(1, OpenMode::Create);
  std::int32_t first = 0, second = 0;
  memo.StoreMemoText(first, 0, std::string(510, 'b'));  // 510 + 8 > 512
  memo.StoreMemoText(second, 0, "x");
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 3);
  std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.substr(512, 8), LevelOneBlock("", 518));
  EXPECT_EQ(memo.LoadMemoText(1), std::string(510, 'b'));
  EXPECT_EQ(memo.NextFreeBlock(), 4u);
}

TEST_F(MemoFileTest, RewritesInPlaceWhenTheOldBlocksSufficeAndAppendsOtherwise) {
  TDbtFile& memo = Make(0, OpenMode::Create);
  std::int32_t block = 0;
  memo.StoreMemoText(block, 0, std::string(1000, 'a'));  // blocks 1 and 2
  std::int32_t other = 0;
  memo.StoreMemoText(other, 0, "other");  // block 3
  const std::string headerBefore = ReadBytes(path).substr(0, 24);

  memo.StoreMemoText(block, 1000, std::string(900, 'b'));
  EXPECT_EQ(block, 1);
  EXPECT_EQ(ReadBytes(path).substr(0, 24), headerBefore);
  EXPECT_EQ(memo.LoadMemoText(1), std::string(900, 'b'));

  memo.StoreMemoText(block, 900, std::string(1100, 'c'));  // three blocks: moves to the end
  EXPECT_EQ(block, 4);
  EXPECT_EQ(memo.NextFreeBlock(), 7u);
  EXPECT_EQ(memo.LoadMemoText(4), std::string(1100, 'c'));
  EXPECT_EQ(memo.LoadMemoText(3), "other");

  const std::string before = ReadBytes(path);
  memo.StoreMemoText(block, 1100, "");
  EXPECT_EQ(block, 0);
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(memo.LoadMemoText(0), "");
}

TEST_F(MemoFileTest, LevelZeroTerminatorRules) {
  std::string blocks = std::string("one\x1Atwo\x1A\x1A", 9) + std::string(503, '\0');
  blocks += std::string("zero\0after", 10) + std::string(502, 'z');
  std::string straddle(511, 's');  // the pair straddles blocks 3 and 4
  blocks += straddle + "\x1A" + "\x1A" + std::string(511, '\0');
  blocks += "runs to the end";
  WriteMemoFile(512, 7, blocks);
  TDbtFile& memo = Make(0, OpenMode::ReadOnly);
  EXPECT_EQ(memo.LoadMemoText(1), "one\x1Atwo");
  EXPECT_EQ(memo.LoadMemoText(2), "zero");
  EXPECT_EQ(memo.LoadMemoText(3), straddle);  // no stray 0x1A at the end
  EXPECT_EQ(memo.LoadMemoText(5), "runs to the end");
  EXPECT_EQ(memo.LoadMemoText(99), "");
  EXPECT_EQ(memo.LoadMemoText(-3), "");
}

TEST_F(MemoFileTest, StoredLevelZeroTextOf511BytesReadsBackExactly) {
  TDbtFile& memo = Make(0, OpenMode::Create);
  std::int32_t block = 0;
  const std::string text(511, 'q');
  memo.StoreMemoText(block, 0, text);
  EXPECT_EQ(memo.LoadMemoText(block), text);
}

TEST_F(MemoFileTest, DamagedLevelOneMemosGiveWhatIsThere) {
  std::string blocks = LevelOneBlock("fine", 12) + std::string(500, '\0');
  blocks += "not a memo block" + std::string(496, '\0');
  blocks += LevelOneBlock("abc", 7) + std::string(501, '\0');  // length below 8
  blocks += LevelOneBlock("cut short", 0xFFFFFFF0u);
  WriteMemoFile(512, 5, blocks);
  TDbtFile& memo = Make(1, OpenMode::ReadOnly);
  EXPECT_EQ(memo.LoadMemoText(1), "fine");
  EXPECT_EQ(memo.LoadMemoText(2), "");
  EXPECT_EQ(memo.LoadMemoText(3), "");
  EXPECT_EQ(memo.LoadMemoText(4), "cut short");
  EXPECT_EQ(memo.LoadMemoText(5), "");
}

TEST_F(MemoFileTest, BlockSizeComesFromTheHeaderAboveLevelZero) {
  struct Case {
    int field;
    std::uint8_t level;
    int inUse;
  };
  for (Case c : {Case{1024, 1, 1024}, Case{1024, 0, 512}, Case{0, 1, 512}, Case{100, 2, 512},
                 Case{256, 2, 256}}) {
    WriteMemoFile(c.field, 1, "");
    TDbtFile memo(path, c.level, OpenMode::ReadWrite);
    EXPECT_EQ(memo.BlockSize(), c.inUse) << c.field << " at level " << int(c.level);
    std::int32_t block = 0;
    memo.StoreMemoText(block, 0, "t");
    const int written = static_cast<unsigned char>(ReadBytes(path)[20]) |
                        static_cast<unsigned char>(ReadBytes(path)[21]) << 8;
    EXPECT_EQ(written, c.field == 0 || c.field % 128 != 0 ? 512 : c.field);
    EXPECT_EQ(memo.LoadMemoText(block), "t");
  }
}

TEST_F(MemoFileTest, AppendingNeverOverwritesBlocksBeyondAStaleNextFreeNumber) {
  WriteMemoFile(512, 1, "kept\x1A\x1A");  // the header says block 1 is free: it is not
  TDbtFile& memo = Make(0, OpenMode::ReadWrite);
  std::int32_t block = 0;
  memo.StoreMemoText(block, 0, "new");
  EXPECT_EQ(block, 2);
  EXPECT_EQ(memo.LoadMemoText(1), "kept");
  EXPECT_EQ(memo.LoadMemoText(2), "new");
}

TEST_F(MemoFileTest, AFailedStoreKeepsTheOldBlockAndLosesNoStoredMemo) {
  FullDiskFileSystem full;
  full.writeBudget = 1 << 20;
  ScopedFileSystem scopedFiles(full);
  TDbtFile& memo = Make(0, OpenMode::Create);
  std::int32_t first = 0;
  memo.StoreMemoText(first, 0, "first");
  std::int32_t block = first;
  full.writeBudget = 100;  // the text goes out in part, then the disk is full
  EXPECT_THROW_MSG(memo.StoreMemoText(block, 5, std::string(700, 'x')), EWriteError,
                   "Stream write error");
  EXPECT_EQ(block, first);
  full.writeBudget = 1 << 20;
  std::int32_t next = 0;
  memo.StoreMemoText(next, 0, "next");  // lands after the partial text, not over it
  EXPECT_EQ(memo.LoadMemoText(first), "first");
  EXPECT_EQ(memo.LoadMemoText(next), "next");
  EXPECT_GT(next, first);
}

TEST(MemoStream, WriteModeStoresOnceOnCloseCutAtThePosition) {
  int calls = 0;
  std::string stored;
  TMyBlobFile stream(TMyBlobFile::Mode::Write);
  stream.writeBack = [&](TMyBlobFile& s) {
    ++calls;
    stored = s.Data();
  };
  stream.Write("abcdef", 6);
  stream.Seek(4);
  stream.Write("X", 1);
  stream.Close();
  stream.Close();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(stored, "abcdX");

  TMyBlobFile reader(TMyBlobFile::Mode::Read);
  reader.writeBack = [&](TMyBlobFile&) { ++calls; };
  reader.Append("xyz", 3);
  char buffer[8] = {};
  EXPECT_EQ(reader.Read(buffer, sizeof buffer), 3u);
  EXPECT_STREQ(buffer, "xyz");
  reader.Close();
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace tavlo
