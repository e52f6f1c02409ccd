// The index readers on what is not a sound index: copies of real files damaged here (cut
// short, pointers past the end or back up the tree, neighbour links that loop, keys out of
// order) are read with the damaged tag reported and the others intact; files that are no
// index files at all are refused; random damage never crashes or hangs. Also the key decoding.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "dbf/indexreader.h"
#include "index_testutil.h"
#include "testsupport.h"

namespace tavlo {
namespace {

void PutLe32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}
void PutBe32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (24 - 8 * i));
}
void PutLe16(std::string& b, std::size_t at, unsigned v) {
  b[at] = static_cast<char>(v);
  b[at + 1] = static_cast<char>(v >> 8);
}

// Walks every tag of reader to its end (or its damage) and seeks in it: nothing may crash,
// and no walk may meet more entries than the file has room for.
void WalkEverything(const TIndexReader& reader, std::size_t imageSize) {
  for (int t = 0; t < reader.TagCount(); ++t) {
    TIndexCursor cursor = reader.Cursor(t);
    std::size_t entries = 0;
    try {
      for (bool more = cursor.First(); more; more = cursor.Next()) {
        ASSERT_LE(++entries, imageSize) << "tag " << t;
      }
      if (cursor.Seek(std::string(4, 'A'))) cursor.Next();
    } catch (const EIndexDamage&) {
      // Damage met on the way is what the check reports.
    }
  }
}

struct DamageCase {
  const char* what;
  const char* index;
  int tag;  // the tag that must be damaged; the others must stay readable
  std::function<void(std::string&)> damage;
  const char* reason;  // text the damage reason holds
};

// Offsets inside the files below (from their headers): orderdetails.cdx ORDERID has its
// root, an interior page, at 4096 with leaves at 8192 and 8704; master.mdx GROWTHASC its root
// at page 18 (children 14, 28, 16); ndx-num.ndx its root at block 21; test1.ntx its root at
// 17408.
const std::vector<DamageCase>& DamageCases() {
  static const std::vector<DamageCase> cases = {
      {"CDX cut short", "VFPX-Samples/orderdetails.cdx", 0, [](std::string& b) { b.resize(20000); },
       "lies past the end of the file"},
      {"CDX child past the end", "VFPX-Samples/orderdetails.cdx", 0,
       [](std::string& b) { PutBe32(b, 4096 + 12 + 8, 0x7FFFFE00); },
       "lies past the end of the file"},
      {"CDX child is its ancestor", "VFPX-Samples/orderdetails.cdx", 0,
       [](std::string& b) { PutBe32(b, 4096 + 12 + 8, 4096); }, "page 8 is used twice"},
      {"CDX two tags share a tree", "VFPX-Samples/orderdetails.cdx", 2,
       [](std::string& b) { PutLe32(b, 1536, 4096); }, "page 8 is used twice (also by ORDERID)"},
      {"CDX right neighbour loops back", "VFPX-Samples/orderdetails.cdx", 0,
       [](std::string& b) {
         const std::uint32_t first = IndexBe32(b, 4096 + 12 + 8);
         PutLe32(b, first + 8, first);
       },
       "as its right neighbour, but"},
      {"CDX separator out of order", "VFPX-Samples/orderdetails.cdx", 0,
       [](std::string& b) { b.replace(4096 + 12, 4, "\xFF\xFF\xFF\xFF"); },
       "the keys are out of order on page"},
      {"CDX leaf key out of order", "infused-dbf/calls.CDX", 0,
       [](std::string& b) { b[2560 + 511] = '\xFF'; }, "the keys are out of order on page 5"},
      {"CDX tag header past the end", "infused-dbf/calls.CDX", 0,
       [](std::string& b) { b[1024 + 25] = '\xFE'; },
       "its header at offset 65024 lies past the end of the file"},
      {"CDX leaf entries overflow", "infused-dbf/calls.CDX", 1,
       [](std::string& b) { PutLe16(b, 5632 + 2, 400); }, "do not fit the page"},
      {"MDX cut short", "Group-336.2/master.mdx", 2, [](std::string& b) { b.resize(12288); },
       "lies past the end of the file"},
      {"MDX tag header past the end", "Group-336.2/master.mdx", 1,
       [](std::string& b) { PutLe32(b, 544 + 32, 0x7FFF); },
       "its header at page 32767 lies past the end of the file"},
      {"MDX child past the end", "Group-336.2/master.mdx", 1,
       [](std::string& b) { PutLe32(b, 18 * 512 + 8, 0x00FFFFFF); },
       "lies past the end of the file"},
      {"MDX child is its ancestor", "Group-336.2/master.mdx", 1,
       [](std::string& b) { PutLe32(b, 18 * 512 + 8, 18); }, "page 18 is used twice"},
      {"MDX keys out of order", "Group-336.2/master.mdx", 1,
       [](std::string& b) {
         // The first key of leaf 14 (the lowest number) becomes greater than the next.
         b.replace(14 * 512 + 12, 12, std::string("\x39\x09\x99", 3) + std::string(9, '\0'));
       },
       "the keys are out of order on page 14"},
      {"NDX cut short", "DBD-XBase/ndx-num.ndx", 0, [](std::string& b) { b.resize(5120); },
       "lies past the end of the file"},
      {"NDX child past the end", "DBD-XBase/ndx-num.ndx", 0,
       [](std::string& b) { PutLe32(b, 21 * 512 + 4, 0x00FFFFFF); },
       "lies past the end of the file"},
      {"NDX child is its ancestor", "DBD-XBase/ndx-num.ndx", 0,
       [](std::string& b) { PutLe32(b, 21 * 512 + 4, 21); }, "page 21 is used twice"},
      {"NDX keys out of order", "DBD-XBase/ndx-num.ndx", 0,
       [](std::string& b) { b.replace(512 + 12, 8, std::string("\0\0\0\0\x80\x87\xC3\x40", 8)); },
       "the keys are out of order on page 1"},
      {"NTX cut short", "harbour/test1.ntx", 0, [](std::string& b) { b.resize(9216); },
       "lies past the end of the file"},
      {"NTX child past the end", "harbour/test1.ntx", 0,
       [](std::string& b) { PutLe32(b, 17408 + IndexLe16(b, 17408 + 2), 0x7FFFFC00); },
       "lies past the end of the file"},
      {"NTX child is its ancestor", "harbour/test1.ntx", 0,
       [](std::string& b) { PutLe32(b, 17408 + IndexLe16(b, 17408 + 2), 17408); },
       "page 17 is used twice"},
      {"NTX keys out of order", "harbour/test1.ntx", 0,
       [](std::string& b) {
         b.replace(17408 + IndexLe16(b, 17408 + 2) + 8, 4, "\xFF\xFF\xFF\xFF");
       },
       "the keys are out of order on page"},
      {"NTX entry outside its page", "harbour/test1.ntx", 0,
       [](std::string& b) { PutLe16(b, 17408 + 2, 1020); }, "outside the page's entries"},
  };
  return cases;
}

TEST(IndexDamage, ADamagedTagIsReportedWithItsReasonAndTheOthersStillRead) {
  for (const DamageCase& c : DamageCases()) {
    SCOPED_TRACE(c.what);
    std::string image = indextest::CorpusBytes(c.index);
    c.damage(image);
    TIndexFormat format = TIndexFormat::Cdx;
    ASSERT_TRUE(IndexFormatOfPath(c.index, format));
    const auto reader = ReadIndexImage(format, image, c.index);
    for (int t = 0; t < reader->TagCount(); ++t) {
      const TIndexTag& tag = reader->Tag(t);
      if (t == c.tag) {
        EXPECT_FALSE(tag.readable);
        EXPECT_NE(tag.damage.find(c.reason), std::string::npos) << tag.damage;
        if (reader->HeaderDamaged(t)) {
          TIndexCursor cursor = reader->Cursor(t);
          EXPECT_THROW_MSG(cursor.First(), EIndexDamage, tag.damage);
        }
      } else if (std::string(c.what).find("cut short") == std::string::npos) {
        EXPECT_TRUE(tag.readable) << tag.name << ": " << tag.damage;
      }
    }
    WalkEverything(*reader, image.size());
  }
}

TEST(IndexDamage, FilesThatAreNoIndexFilesAreRefused) {
  struct Case {
    TIndexFormat format;
    std::string bytes;
    const char* message;
  };
  const std::vector<Case> cases = {
      {TIndexFormat::Cdx, std::string(100, '\0'),
       "t.cdx is not a CDX index file: it is shorter than its 512-byte header"},
      {TIndexFormat::Cdx, std::string(1024, '\0'),
       "t.cdx is not a CDX index file: the key length of its tag list is 0, not 10"},
      {TIndexFormat::Cdx, std::string(12, '\0') + "\x0A" + std::string(1011, '\0'),
       "t.cdx is not a CDX index file: its option byte 0x00 does not say compact and compound"},
      {TIndexFormat::Mdx, std::string(40, '\0'),
       "t.mdx is not an MDX index file: it is shorter than its 48-byte header"},
      {TIndexFormat::Mdx, std::string(2048, '\0'),
       "t.mdx is not an MDX index file: its block size (0 pages, 0 bytes) is impossible"},
      {TIndexFormat::Ndx, std::string(512, '\0'),
       "t.ndx is not an NDX index file: its key length 0 is impossible"},
      {TIndexFormat::Ntx, std::string(1024, '\0'),
       "t.ntx is not an NTX index file: its signature byte 0 is not 3, 6 or 7"},
      {TIndexFormat::Ntx, indextest::CorpusBytes("DBD-XBase/ntx-char.dbf").substr(0, 2048),
       "t.ntx is not an NTX index file: its key length 0 and entry length 0 do not match"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const std::string path = std::string("t.") + (c.format == TIndexFormat::Cdx   ? "cdx"
                                                  : c.format == TIndexFormat::Mdx ? "mdx"
                                                  : c.format == TIndexFormat::Ndx ? "ndx"
                                                                                  : "ntx");
    EXPECT_THROW_MSG(ReadIndexImage(c.format, c.bytes, path), EIndexFileError, c.message);
  }
  EXPECT_THROW_MSG(OpenIndexFile("/no/such/t.idy"), EIndexFileError,
                   "/no/such/t.idy is not an index file: its extension is not .cdx, .idx, .mdx, "
                   ".ndx or .ntx");
}

// Random bytes changed in small real files of each format: every outcome is a refusal, a
// damaged tag or a sound one, reached without a crash.
TEST(IndexDamage, RandomDamageNeverCrashesOrHangs) {
  std::mt19937 random(1);
  for (const char* index :
       {"infused-dbf/calls.CDX", "xharbour/orddet.CDX", "Group-336.2/master.mdx",
        "DBD-XBase/ndx-char.ndx", "DBD-XBase/ntx-char.ntx"}) {
    SCOPED_TRACE(index);
    const std::string original = indextest::CorpusBytes(index);
    TIndexFormat format = TIndexFormat::Cdx;
    ASSERT_TRUE(IndexFormatOfPath(index, format));
    int damaged = 0;
    for (int round = 0; round < 150; ++round) {
      std::string image = original;
      const int changes = 1 + static_cast<int>(random() % 8);
      for (int i = 0; i < changes; ++i) {
        image[random() % image.size()] = static_cast<char>(random());
      }
      if (random() % 5 == 0) image.resize(random() % image.size());
      try {
        const auto reader = ReadIndexImage(format, image, index);
        for (const TIndexTag& tag : reader->Info().tags) damaged += tag.readable ? 0 : 1;
        WalkEverything(*reader, image.size());
      } catch (const EIndexFileError&) {
      }
    }
    EXPECT_GT(damaged, 0);
  }
}

TEST(IndexDamage, TheCallersKeyTypeDecidesTheTrailingByteOfCdxLeaves) {
  const std::string image = indextest::CorpusBytes("xharbour/orddet.CDX");
  const auto guessed = ReadIndexImage(TIndexFormat::Cdx, image, "orddet.cdx");
  EXPECT_EQ(guessed->Tag(0).trailingByte, '\0');
  EXPECT_TRUE(guessed->Tag(0).trailingByteGuessed);
  TIndexOpenOptions options;
  options.keyTypes["K_ID"] = TIndexKeyType::Character;
  const auto told = ReadIndexImage(TIndexFormat::Cdx, image, "orddet.cdx", options);
  EXPECT_EQ(told->Tag(0).trailingByte, ' ');
  EXPECT_FALSE(told->Tag(0).trailingByteGuessed);
  EXPECT_EQ(told->Tag(0).keyType, TIndexKeyType::Character);
}

TEST(IndexKeys, StoredKeysDecodeToTheirValues) {
  using K = TIndexKeyValue::Kind;
  struct Case {
    TIndexFormat format;
    TIndexKeyType type;
    std::string key;
    bool nullMarker;
    K kind;
    std::string text;
  };
  const std::string bcd0 = std::string("\x34\x01", 2) + std::string(10, '\0');
  const std::vector<Case> cases = {
      {TIndexFormat::Mdx, TIndexKeyType::Numeric,
       std::string("\x36\xFD\x16", 3) + std::string(9, '\0'), false, K::Number, "-16"},
      {TIndexFormat::Mdx, TIndexKeyType::Numeric, bcd0, false, K::Number, "0"},
      {TIndexFormat::Mdx, TIndexKeyType::Numeric,
       std::string("\x37\x11\x10\x20", 4) + std::string(8, '\0'), false, K::Number, "102"},
      {TIndexFormat::Mdx, TIndexKeyType::Numeric, std::string(12, '\xAB'), false, K::Bytes,
       "abababababababababababab"},
      {TIndexFormat::Mdx, TIndexKeyType::Date, std::string("\0\0\0\x80\x86\xB2\x42\x41", 8), false,
       K::Date, "19970909"},
      {TIndexFormat::Ndx, TIndexKeyType::Numeric, std::string("\0\0\0\0\0\x48\x8F\x40", 8), false,
       K::Number, "1001"},
      {TIndexFormat::Ntx, TIndexKeyType::Numeric, ",,,,,,,(##.,,", false, K::Number, "-499"},
      {TIndexFormat::Ntx, TIndexKeyType::Numeric, "0000000008.50", false, K::Number, "8.5"},
      {TIndexFormat::Ntx, TIndexKeyType::Date, "19870214", false, K::Date, "19870214"},
      {TIndexFormat::Ntx, TIndexKeyType::Date, "        ", false, K::Null, ""},
      {TIndexFormat::Cdx, TIndexKeyType::Numeric, std::string("\xC0\x24\0\0\0\0\0\0", 8), false,
       K::Number, "10"},
      {TIndexFormat::Cdx, TIndexKeyType::Numeric, std::string("\x3F\xFB\xFF\xFF\xFF\xFF\xFF\xFF"),
       false, K::Number, "-2.5"},
      {TIndexFormat::Cdx, TIndexKeyType::Numeric, std::string("\x80\0\0\x01", 4), false, K::Number,
       "1"},
      {TIndexFormat::Cdx, TIndexKeyType::Numeric, "\x7F\xFF\xFF\xFF", false, K::Number, "-1"},
      {TIndexFormat::Cdx, TIndexKeyType::Numeric, std::string("\x80\x80\0\0\x04", 5), true,
       K::Number, "4"},
      {TIndexFormat::Cdx, TIndexKeyType::Date, std::string("\xC1\x42\xB2\x86\x80\0\0\0", 8), false,
       K::Date, "19970909"},
      {TIndexFormat::Cdx, TIndexKeyType::Character,
       "\x80"
       "98105  ",
       true, K::Text, "98105"},
      {TIndexFormat::Cdx, TIndexKeyType::Character, std::string(16, '\0'), true, K::Null, ""},
      {TIndexFormat::Cdx, TIndexKeyType::Unknown, "ALFKI ", false, K::Text, "ALFKI"},
      {TIndexFormat::Cdx, TIndexKeyType::Unknown, std::string("\x07\x02", 2), false, K::Bytes,
       "0702"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const TIndexKeyValue value = DecodeIndexKey(c.format, c.type, c.key, c.nullMarker);
    EXPECT_EQ(value.kind, c.kind);
    EXPECT_EQ(value.text, c.text);
  }
  // Dates also give the Julian day number, which keys computed from records are compared by.
  EXPECT_EQ(DecodeIndexKey(TIndexFormat::Ntx, TIndexKeyType::Date, "19970909").number, 2450701);
}

}  // namespace
}  // namespace tavlo
