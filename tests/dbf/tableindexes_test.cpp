// The index files a table attaches: the production index found by header byte 28 (any case
// of its name, missing, damaged), a .mdx beside a table that names none, the user's files;
// and single-tag IDX files of both layouts built from their documented layout.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbf/indexfile.h"
#include "dbf/indexreader.h"
#include "dbf/tableindexes.h"
#include "dbf/tdbf.h"
#include "index_testutil.h"
#include "testsupport.h"
#include "text/qelstrings.h"

using namespace tavlo;
using tavlo::indextest::CorpusBytes;
using tavlo::indextest::CorpusPath;
using tavlo::testsupport::ScratchFolder;

namespace {

void Put(const std::string& path, const std::string& bytes) {
  SaveStringToFile(path, bytes);
}

std::vector<std::pair<std::string, std::uint32_t>> Entries(const TIndexReader& reader, int tag) {
  std::vector<std::pair<std::string, std::uint32_t>> entries;
  TIndexCursor cursor = reader.Cursor(tag);
  for (bool more = cursor.First(); more; more = cursor.Next()) {
    entries.emplace_back(cursor.Key(), cursor.Record());
  }
  return entries;
}

void Le16(std::string& b, std::size_t at, unsigned v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8 & 0xFF);
}
void Le32(std::string& b, std::size_t at, std::uint32_t v) {
  Le16(b, at, v & 0xFFFF);
  Le16(b, at + 2, v >> 16);
}
void Be32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (24 - 8 * i) & 0xFF);
}

// An uncompressed IDX page: attributes, then key and big-endian pointer per entry.
std::string IdxPage(unsigned attributes,
                    const std::vector<std::pair<std::string, std::uint32_t>>& entries,
                    std::uint32_t left = 0xFFFFFFFFu, std::uint32_t right = 0xFFFFFFFFu) {
  std::string page(512, '\0');
  Le16(page, 0, attributes);
  Le16(page, 2, static_cast<unsigned>(entries.size()));
  Le32(page, 4, left);
  Le32(page, 8, right);
  std::size_t at = 12;
  for (const auto& [key, pointer] : entries) {
    page.replace(at, key.size(), key);
    Be32(page, at + key.size(), pointer);
    at += key.size() + 4;
  }
  return page;
}

std::string IdxHeader(std::uint32_t root, unsigned keyLength, unsigned options,
                      const std::string& key, const std::string& forText) {
  std::string header(512, '\0');
  Le32(header, 0, root);
  Le32(header, 4, 0xFFFFFFFFu);
  Le16(header, 12, keyLength);
  header[14] = static_cast<char>(options);
  header.replace(16, key.size(), key);
  header.replace(236, forText.size(), forText);
  return header;
}

}  // namespace

TEST(TableIndexes, TheProductionIndexIsFoundByHeaderByte28) {
  ScratchFolder folder;
  // Visual FoxPro (bit 0x01): the structural .cdx, its extension in another case than the table's.
  Put(folder.File("CUST.DBF"), CorpusBytes("VFPX-Samples/customers.dbf"));
  Put(folder.File("CUST.cdx"), CorpusBytes("VFPX-Samples/customers.cdx"));
  // dBase III marked by a dBase IV program: the same bit, but a .mdx.
  Put(folder.File("master.dbf"), CorpusBytes("Group-336.2/master.dbf"));
  Put(folder.File("master.MDX"), CorpusBytes("Group-336.2/master.mdx"));
  {
    TDbf table;
    table.SetTableName(folder.File("CUST.DBF"));
    table.Open();
    const TTableIndexes& indexes = table.Indexes();
    ASSERT_EQ(indexes.FileCount(), 1);
    EXPECT_TRUE(indexes.IsProduction(0));
    EXPECT_EQ(indexes.File(0).Info().path, folder.File("CUST.cdx"));
    EXPECT_EQ(indexes.MissingProduction(), "");
    ASSERT_NE(table.IndexFile(), nullptr);  // held with the table, as the .mdx always was
    EXPECT_EQ(indexes.Tags().size(), 5u);
    const TAttachedTag* id = indexes.FindTag("customerId");
    ASSERT_NE(id, nullptr);
    EXPECT_TRUE(id->understood);
    EXPECT_TRUE(id->Info().candidate);
    EXPECT_EQ(id->Info().keyCount, -1);  // the tree is not walked on opening
    // A new code page compiles the tags again, still understood.
    table.SetCodePage(1252);
    ASSERT_NE(table.Indexes().FindTag("CITY"), nullptr);
    EXPECT_TRUE(table.Indexes().FindTag("CITY")->understood);
    EXPECT_EQ(table.Indexes().FindTag("NOSUCH"), nullptr);
    // The reader outlives the table for whoever keeps it.
    std::shared_ptr<const TIndexReader> kept = table.Indexes().Reader(0);
    table.Close();
    EXPECT_EQ(table.Indexes().FileCount(), 0);
    EXPECT_EQ(Entries(*kept, 0).size(), 91u);
  }
  TDbf master;
  master.SetTableName(folder.File("master.dbf"));
  master.Open();
  ASSERT_EQ(master.Indexes().FileCount(), 1);
  EXPECT_TRUE(master.Indexes().IsProduction(0));
  EXPECT_EQ(master.Indexes().File(0).Info().format, TIndexFormat::Mdx);
  ASSERT_NE(master.Indexes().FindTag("growthdesc"), nullptr);
  EXPECT_TRUE(master.Indexes().FindTag("growthdesc")->Info().descending);
}

TEST(TableIndexes, AMissingOrDamagedProductionIndexNeverStopsTheOpening) {
  ScratchFolder folder;
  Put(folder.File("CUST.DBF"), CorpusBytes("VFPX-Samples/customers.dbf"));
  Put(folder.File("t3.dbf"), CorpusBytes("jdbfdriver/TEST.DBF"));
  Put(folder.File("people.dbf"), CorpusBytes("xharbour/people.dbf"));
  struct Case {
    std::string table, missing;
  };
  for (const Case& c : {Case{"CUST.DBF", folder.File("CUST.CDX")},
                        Case{"t3.dbf", folder.File("t3.cdx") + " or " + folder.File("t3.mdx")}}) {
    SCOPED_TRACE(c.table);
    TDbf table;
    table.SetTableName(folder.File(c.table));
    table.Open();
    EXPECT_EQ(table.Indexes().FileCount(), 0);
    EXPECT_EQ(table.Indexes().MissingProduction(), c.missing);
    EXPECT_EQ(table.IndexFile(), nullptr);
    EXPECT_GT(table.RecordCount(), 0);
  }
  // Not an index file, and one cut short inside its tag headers: the table opens, the file
  // or its tags say why.
  Put(folder.File("CUST.CDX"), "garbage");
  Put(folder.File("people.cdx"), CorpusBytes("VFPX-Samples/customers.cdx").substr(0, 3000));
  TDbf cust;
  cust.SetTableName(folder.File("CUST.DBF"));
  cust.Open();
  EXPECT_EQ(cust.Indexes().FileCount(), 0);
  ASSERT_EQ(cust.Indexes().Unreadable().size(), 1u);
  EXPECT_TRUE(cust.Indexes().Unreadable()[0].production);
  EXPECT_EQ(
      cust.Indexes().Unreadable()[0].reason,
      folder.File("CUST.CDX") + " is not a CDX index file: it is shorter than its 512-byte header");
  TDbf people;
  people.SetTableName(folder.File("people.dbf"));
  people.Open();
  ASSERT_EQ(people.Indexes().FileCount(), 1);
  int damaged = 0;
  for (const TAttachedTag& tag : people.Indexes().Tags()) {
    if (!tag.Info().readable) {
      ++damaged;
      EXPECT_FALSE(tag.understood);
      EXPECT_EQ(tag.notUnderstood, "its header could not be read");
    }
  }
  EXPECT_EQ(damaged, 4);
}

TEST(TableIndexes, ATableWithoutIndexFilesOpensAsBeforeAndTheUserAttachesFiles) {
  ScratchFolder folder;
  Put(folder.File("customer.dbf"), CorpusBytes("XSharpPublic/customer.dbf"));
  Put(folder.File("CUSTNAME.NTX"), CorpusBytes("XSharpPublic/CUSTNAME.NTX"));
  Put(folder.File("CUSTNUM.NTX"), CorpusBytes("XSharpPublic/CUSTNUM.NTX"));
  TDbf table;
  table.SetTableName(folder.File("customer.dbf"));
  table.Open();
  EXPECT_EQ(table.Indexes().FileCount(), 0);
  EXPECT_TRUE(table.Indexes().Tags().empty());
  EXPECT_EQ(table.Indexes().MissingProduction(), "");
  EXPECT_EQ(table.IndexFile(), nullptr);
  table.First();
  EXPECT_EQ(table.RecordNumber(), 1);  // physical order

  table.AttachIndexFile(folder.File("CUSTNAME.NTX"));
  table.AttachIndexFile(folder.File("custname.ntx"));  // the same file: nothing changes
  EXPECT_EQ(table.Indexes().FileCount(), 1);
  EXPECT_THROW_MSG(table.AttachIndexFile(folder.File("customer.dbf")), EIndexFileError,
                   folder.File("customer.dbf") +
                       " is not an index file: its extension is not .cdx, .idx, .mdx, .ndx or "
                       ".ntx");
  Put(folder.File("bad.ntx"), std::string(2048, '\0'));
  EXPECT_THROW(table.AttachIndexFile(folder.File("bad.ntx")), EIndexFileError);
  EXPECT_EQ(table.IndexFiles(), std::vector<std::string>{folder.File("CUSTNAME.NTX")});
  const TAttachedTag* name = table.Indexes().FindTag("custname");
  ASSERT_NE(name, nullptr);
  EXPECT_FALSE(name->production);
  EXPECT_EQ(name->Info().forExpression, "!Deleted()");
  table.Close();

  // The user's files come back with the next opening; one gone since is listed, not raised.
  table.SetIndexFiles(
      {folder.File("CUSTNAME.NTX"), folder.File("CUSTNUM.NTX"), folder.File("gone.ntx")});
  table.Open();
  EXPECT_EQ(table.Indexes().FileCount(), 2);
  ASSERT_EQ(table.Indexes().Unreadable().size(), 1u);
  EXPECT_EQ(table.Indexes().Unreadable()[0].path, folder.File("gone.ntx"));
  EXPECT_NE(table.Indexes().FindTag("CUSTNUM"), nullptr);
  table.Close();

  // A .mdx beside a table whose byte 28 is 0 is held and listed, not as production.
  Put(folder.File("customer.mdx"), CorpusBytes("Group-336.2/master.mdx"));
  table.SetIndexFiles({});
  table.Open();
  EXPECT_NE(table.IndexFile(), nullptr);
  ASSERT_EQ(table.Indexes().FileCount(), 1);
  EXPECT_FALSE(table.Indexes().IsProduction(0));
}

TEST(TableIndexes, IdxFilesOfBothLayoutsAreRead) {
  // Uncompressed: a root over two leaves, keys of 4 bytes, unique, with a FOR expression.
  std::string standard = IdxHeader(512, 4, 0x09, "CODE", "QTY>0");
  standard += IdxPage(1, {{"BBBB", 1024}, {"DDDD", 1536}});
  standard += IdxPage(2, {{"AAAA", 3}, {"BBBB", 1}}, 0xFFFFFFFFu, 1536);
  standard += IdxPage(2, {{"CCCC", 2}, {"DDDD", 4}}, 1024);
  auto reader = ReadIndexImage(TIndexFormat::Idx, standard, "/t/codes.idx");
  ASSERT_EQ(reader->TagCount(), 1);
  const TIndexTag& tag = reader->Tag(0);
  EXPECT_EQ(tag.name, "codes");
  EXPECT_EQ(tag.keyExpression, "CODE");
  EXPECT_EQ(tag.forExpression, "QTY>0");
  EXPECT_TRUE(tag.unique);
  EXPECT_TRUE(tag.readable) << tag.damage;
  EXPECT_EQ(tag.keyCount, 4);
  EXPECT_EQ(tag.depth, 2);
  using E = std::vector<std::pair<std::string, std::uint32_t>>;
  EXPECT_EQ(Entries(*reader, 0), (E{{"AAAA", 3}, {"BBBB", 1}, {"CCCC", 2}, {"DDDD", 4}}));
  TIndexCursor seek = reader->Cursor(0);
  ASSERT_TRUE(seek.Seek("C"));
  EXPECT_EQ(seek.Record(), 2u);

  // Damage: a child past the end, keys out of order; both on the tag, never a crash.
  std::string pastEnd = standard;
  Be32(pastEnd, 512 + 12 + 4, 9 * 512);
  auto cut = ReadIndexImage(TIndexFormat::Idx, pastEnd, "/t/codes.idx");
  EXPECT_FALSE(cut->Tag(0).readable);
  EXPECT_EQ(cut->Tag(0).damage, "page 9 lies past the end of the file");
  EXPECT_THROW_MSG(ReadIndexImage(TIndexFormat::Idx, standard.substr(0, 100), "/t/codes.idx"),
                   EIndexFileError,
                   "/t/codes.idx is not an IDX index file: it is shorter than its 512-byte header");
  std::string noKey = IdxHeader(512, 0, 0, "", "");
  EXPECT_THROW_MSG(ReadIndexImage(TIndexFormat::Idx, noKey + standard.substr(512), "/t/a.idx"),
                   EIndexFileError,
                   "/t/a.idx is not an IDX index file: its key length 0 does not fit a page");

  // Compact: a CDX tag's header in the file's first 1024 bytes, over the same pages. The
  // pages of the CUSTOMERID tag of a real file, its header moved to the front.
  const std::string cdxBytes = CorpusBytes("VFPX-Samples/customers.cdx");
  auto cdx = ReadIndexImage(TIndexFormat::Cdx, cdxBytes, "/t/customers.cdx");
  int id = 0;
  while (cdx->Tag(id).name != "CUSTOMERID") ++id;
  std::string compact = cdxBytes;
  compact.replace(0, 1024, cdxBytes.substr(cdx->Tag(id).headerOffset, 1024));
  compact[14] = static_cast<char>(compact[14] & ~0x40);
  auto idx = ReadIndexImage(TIndexFormat::Idx, compact, "/t/custid.idx");
  ASSERT_EQ(idx->TagCount(), 1);
  EXPECT_EQ(idx->Tag(0).name, "custid");
  EXPECT_EQ(idx->Tag(0).keyExpression, "customerid");
  EXPECT_TRUE(idx->Tag(0).candidate);
  EXPECT_TRUE(idx->Tag(0).readable) << idx->Tag(0).damage;
  EXPECT_EQ(Entries(*idx, 0), Entries(*cdx, id));
  compact[14] = static_cast<char>(compact[14] | 0x40);
  EXPECT_THROW_MSG(ReadIndexImage(TIndexFormat::Idx, compact, "/t/custid.idx"), EIndexFileError,
                   "/t/custid.idx is not an IDX index file: its option byte says compound (a "
                   "CDX file)");
}
