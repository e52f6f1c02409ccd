// The ground truth of the key expressions: every tag of the copied index corpus
// (tests/data/index) compiled against its table, and its entries in index order compared
// with the keys its expressions give for the table's records. Tags that are not understood
// must say the word; the files known not to match their tables must differ.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "dbf/dbffile.h"
#include "dbf/keyencode.h"
#include "dbf/tdbf.h"
#include "index_testutil.h"

namespace tavlo {
namespace {

using indextest::CorpusPath;

// outcome: "match"; "stale" (the file was not kept up with its table: its entries must differ
// from the table's keys); "refused:WORD:REASON" (not understood: the word, and a part of the
// reason); "no table" (the table is not in the copy).
struct TagOutcome {
  const char* tag;
  const char* outcome;
};

struct FileOutcome {
  const char* index;
  const char* table;
  std::vector<TagOutcome> tags;
};

constexpr const char* kPinyin = "refused::the PINYIN collation";

const std::vector<FileOutcome>& Outcomes() {
  static const std::vector<FileOutcome> files = {
      {"infused-dbf/calls.CDX",
       "infused-dbf/calls.dbf",
       {{"CALL_ID", "match"}, {"CONTACT_ID", "match"}}},
      {"infused-dbf/contacts.CDX",
       "infused-dbf/contacts.dbf",
       {{"CONTACT_ID", "match"}, {"TYPE_ID", "match"}}},
      {"infused-dbf/setup.CDX", "infused-dbf/setup.dbf", {{"KEY_NAME", "match"}}},
      // The table has CONTACT_TY and CONTACT_T2: only the database container knows which of
      // them the long name contact_type_id is.
      {"infused-dbf/types.CDX",
       "infused-dbf/types.dbf",
       {{"TYPE_ID", "refused:contact_type_id:more than one field starts like it"}}},
      {"go-dbase/employees.CDX",
       "go-dbase/employees.dbf",
       {{"DEPARTMENT", "match"},
        {"EMAILNAME", "match"},
        {"LASTNAME", "match"},
        {"POSTALCODE", "match"},
        {"PRIMARYKEY", "match"}}},
      {"go-dbase/expense details.CDX",
       "go-dbase/expense details.dbf",
       {{"EXPENSECAT", "match"}, {"EXPREPID", "match"}, {"PRIMARYKEY", "match"}}},
      {"go-dbase/expense reports.CDX",
       "go-dbase/expense reports.dbf",
       {{"DATESUBMIT", "match"}, {"EMPLOYEEID", "match"}, {"PRIMARYKEY", "match"}}},
      {"javadbf/employees.cdx",
       "javadbf/employees.dbf",
       {{"EMAILNAME", "match"},
        {"LASTNAME", "match"},
        {"POSTALCODE", "match"},
        {"PRIMARYKEY", "match"}}},
      {"javadbf/foxref_ref.cdx",
       "javadbf/foxref_ref.dbf",
       {{"CHECKED", "match"},
        {"FILEID", "match"},
        {"INACTIVE", "match"},
        {"REFID", "match"},
        {"REFTYPE", "match"},
        {"SETID", "match"},
        {"UNIQUEID", "match"}}},
      {"javadbf/payments.cdx",
       "javadbf/payments.dbf",
       {{"PAYMENTMET", "match"}, {"PRIMARYKEY", "match"}, {"PROJECTID", "match"}}},
      {"php-xbase/issue115.cdx",
       "php-xbase/issue115.dbf",
       {{"COD", "stale"}, {"DENUMIRE", "stale"}}},
      {"jdbf/TEXTO.CDX", "jdbf/texto.dbf", {{"ITEXTO", "match"}}},
      {"DBD-XBase/rooms.cdx",
       "DBD-XBase/rooms.dbf",
       {{"AUDIO", "match"},
        {"FACILITY", "match"},
        {"FILM", "match"},
        {"MAIN", "match"},
        {"ROOMNAME", "match"}}},
      {"XSharpPublic/TEST10K.CDX",
       "",
       {{"AGE", "no table"},
        {"CITY", "no table"},
        {"FIRST", "no table"},
        {"HIREDATE", "no table"},
        {"LAST", "no table"},
        {"SALARY", "no table"},
        {"STATE", "no table"}}},
      {"VFPX-Samples/orders.cdx",
       "VFPX-Samples/orders.dbf",
       {{"CUSTOMERID", "match"},
        {"EMPLOYEEID", "match"},
        {"ORDERDATE", "match"},
        {"ORDERID", "match"},
        {"SHIPPEDDAT", "match"},
        {"SHIPPERID", "match"}}},
      {"VFPX-Samples/orderdetails.cdx",
       "VFPX-Samples/orderdetails.dbf",
       {{"ORDERID", "match"}, {"PRIMARYKEY", "match"}, {"PRODUCTID", "match"}}},
      {"VFPX-Samples/products.cdx",
       "VFPX-Samples/products.dbf",
       {{"CATEGORYID", "match"},
        {"PRODUCTID", "match"},
        {"PRODUCTNAM", "match"},
        {"SUPPLIERID", "match"}}},
      {"VFPX-Samples/customers.cdx",
       "VFPX-Samples/customers.dbf",
       {{"CITY", "match"},
        {"COMPANYNAM", "match"},
        {"CUSTOMERID", "match"},
        {"POSTALCODE", "match"},
        {"REGION", "match"}}},
      {"VFPX-Samples/behindsc.cdx",
       "VFPX-Samples/behindsc.dbf",
       {{"SCREEN_ID", "match"}, {"SCREEN_TOP", "match"}, {"TOPIC", "match"}}},
      {"VFPX-Samples/SavedCovLog.cdx",
       "VFPX-Samples/SavedCovLog.dbf",
       {{"AVG", kPinyin},
        {"CODE", kPinyin},
        {"FILETYPE", kPinyin},
        {"FIRST", kPinyin},
        {"HITS", kPinyin},
        {"LINE", kPinyin},
        {"METHOD", kPinyin},
        {"OBJCLASS", kPinyin},
        {"PLINE", kPinyin},
        {"SOURCE", kPinyin},
        {"TOTAL", kPinyin}}},
      {"VFPX-Samples/orditems.cdx", "VFPX-Samples/orditems.dbf", {{"PRODUCT_ID", "match"}}},
      {"xharbour/people.CDX", "xharbour/people.dbf", {{"K_ID", "match"}, {"K_NAME", "match"}}},
      {"xharbour/peopleex.CDX", "xharbour/peopleex.DBF", {{"K_ID", "match"}, {"K_STATE", "match"}}},
      {"xharbour/orddet.CDX", "xharbour/orddet.DBF", {{"K_ID", "match"}}},
      // Harbour's binary integers in a dBase III table: the table's format reads no value
      // from them.
      {"mod_harbour/users.cdx",
       "mod_harbour/users.dbf",
       {{"DPT", "match"}, {"ID", "refused:ID:is of type I"}}},
      {"XSharpPublic/TESTNTX2.NTX", "XSharpPublic/TESTNTX2.DBF", {{"TESTNTX2", "match"}}},
      {"XSharpPublic/10kDate.ntx", "", {{"10kDate", "no table"}}},
      {"XSharpPublic/10kSalary.ntx", "", {{"10kSalary", "no table"}}},
      {"XSharpPublic/10kState.ntx", "", {{"10kState", "no table"}}},
      // Both orders of customer.dbf were written before records 1 to 3 were edited.
      {"XSharpPublic/CUSTNAME.NTX", "XSharpPublic/customer.dbf", {{"CUSTNAME", "stale"}}},
      {"XSharpPublic/CUSTNUM.NTX", "XSharpPublic/customer.dbf", {{"CUSTNUM", "stale"}}},
      {"DBD-XBase/ntx-char.ntx", "DBD-XBase/ntx-char.dbf", {{"ntx-char", "match"}}},
      {"harbour/test1.ntx", "harbour/test.dbf", {{"test1", "match"}}},
      {"DBD-XBase/ndx-char.ndx", "DBD-XBase/ndx-char.dbf", {{"ndx-char", "match"}}},
      {"DBD-XBase/ndx-date.ndx", "DBD-XBase/ndx-date.dbf", {{"ndx-date", "match"}}},
      {"DBD-XBase/ndx-num.ndx", "DBD-XBase/ndx-num.dbf", {{"ndx-num", "match"}}},
      {"Group-336.2/holdings.mdx",
       "Group-336.2/holdings.dbf",
       {{"SYMBOL", "match"}, {"ACCT_NBR", "match"}}},
      {"Group-336.2/industry.mdx", "Group-336.2/industry.dbf", {{"IND_CODE", "match"}}},
      {"Group-336.2/master.mdx",
       "Group-336.2/master.dbf",
       {{"SYMBOL", "match"}, {"GROWTHASC", "match"}, {"GROWTHDESC", "match"}}},
      {"jdbfdriver/TEST.MDX", "jdbfdriver/TEST.DBF", {{"TEST1", "match"}, {"TEST2", "match"}}},
  };
  return files;
}

using Entries = std::vector<std::pair<std::string, std::uint32_t>>;

// Every record of the table, as the file holds it.
std::vector<std::string> Records(TDbfFile& file) {
  std::vector<std::string> records;
  const std::int64_t count = file.RecordCount();
  for (std::int64_t i = 0; i < count; ++i) {
    std::string record(static_cast<std::size_t>(file.RecordSize()), ' ');
    file.ReadRecord(i, record.data());
    records.push_back(record);
  }
  return records;
}

// The tag's entries in the order the file keeps them, keys normalized (SameIndexKey).
Entries IndexEntries(const TIndexReader& reader, int tag, TKeyKind kind) {
  Entries entries;
  TIndexCursor cursor = reader.Cursor(tag);
  for (bool more = cursor.First(); more; more = cursor.Next()) {
    std::string key = cursor.Key();
    NormalizeIndexKey(reader.Info().format, kind, key);
    entries.emplace_back(key, cursor.Record());
  }
  return entries;
}

// The entries the table's records call for, in the tag's order with ties by record number
// (as every file of the corpus keeps them).
Entries TableEntries(const TIndexReader& reader, int tag, TTagKey& key,
                     const std::vector<std::string>& records, std::vector<std::string>& failures) {
  Entries entries;
  std::string bytes;
  for (std::size_t r = 0; r < records.size(); ++r) {
    const auto number = static_cast<std::uint32_t>(r + 1);
    switch (key.KeyOf(reinterpret_cast<const std::uint8_t*>(records[r].data()), number, bytes)) {
      case TTagKey::Outcome::Key:
        NormalizeIndexKey(reader.Info().format, key.Encoding().kind, bytes);
        entries.emplace_back(bytes, number);
        break;
      case TTagKey::Outcome::Excluded:
        break;
      case TTagKey::Outcome::Failed:
        failures.push_back("record " + std::to_string(number) + ": " + key.Failure());
        break;
    }
  }
  std::stable_sort(entries.begin(), entries.end(), [&](const auto& a, const auto& b) {
    const int order = reader.CompareKeys(tag, a.first, b.first);
    return order < 0 || (order == 0 && a.second < b.second);
  });
  return entries;
}

TEST(IndexKeyCorpus, EveryTagHoldsTheKeysItsExpressionsGiveOrSaysWhyNot) {
  int matched = 0, stale = 0, refused = 0, withoutTable = 0;
  for (const FileOutcome& file : Outcomes()) {
    SCOPED_TRACE(file.index);
    const auto reader = OpenIndexFile(CorpusPath(file.index));
    ASSERT_EQ(reader->TagCount(), static_cast<int>(file.tags.size()));
    if (*file.table == '\0') {
      // The tests check these files' trees only (tests/data/index/SOURCES.md).
      for (const TagOutcome& tag : file.tags) EXPECT_STREQ(tag.outcome, "no table");
      withoutTable += reader->TagCount();
      continue;
    }
    TDbf table;
    table.SetTableName(CorpusPath(file.table));
    table.SetReadOnly(true);
    table.Open();
    const TKeyExprTable fields = KeyExprTableOf(*table.DbfFile(), table.Layout());
    const std::vector<std::string> records = Records(*table.DbfFile());
    for (int t = 0; t < reader->TagCount(); ++t) {
      const TIndexTag& tag = reader->Tag(t);
      const std::string outcome = file.tags[static_cast<std::size_t>(t)].outcome;
      SCOPED_TRACE(tag.name + " " + tag.keyExpression + " " + outcome);
      ASSERT_EQ(tag.name, file.tags[static_cast<std::size_t>(t)].tag);
      if (outcome.rfind("refused:", 0) == 0) {
        const std::size_t colon = outcome.find(':', 8);
        try {
          TTagKey::Compile(reader->Info().format, tag, fields);
          ADD_FAILURE() << "understood";
        } catch (const EKeyExprNotUnderstood& refusal) {
          EXPECT_EQ(refusal.Word(), outcome.substr(8, colon - 8));
          EXPECT_NE(std::string(refusal.what()).find(outcome.substr(colon + 1)), std::string::npos)
              << refusal.what();
        }
        ++refused;
        continue;
      }
      TTagKey key = TTagKey::Compile(reader->Info().format, tag, fields);
      std::vector<std::string> failures;
      const Entries want = TableEntries(*reader, t, key, records, failures);
      const Entries have = IndexEntries(*reader, t, key.Encoding().kind);
      EXPECT_EQ(failures, std::vector<std::string>{});
      if (outcome == "match") {
        EXPECT_TRUE(tag.readable) << tag.damage;
        EXPECT_EQ(have.size(), want.size());
        EXPECT_TRUE(have == want);
        for (std::size_t i = 0; i < std::min(have.size(), want.size()); ++i) {
          if (have[i] == want[i]) continue;
          ADD_FAILURE() << "entry " << i + 1 << ": the index has record " << have[i].second
                        << ", the table gives record " << want[i].second;
          break;
        }
        ++matched;
      } else {
        EXPECT_EQ(outcome, "stale");
        EXPECT_NE(have, want) << "a stale tag agrees with its table";
        ++stale;
      }
    }
    table.Close();
  }
  EXPECT_EQ(matched, 78);
  EXPECT_EQ(stale, 4);
  EXPECT_EQ(refused, 13);
  EXPECT_EQ(withoutTable, 10);
}

// What the stale files hold against their tables, as a check will name it.
TEST(IndexKeyCorpus, StaleFilesDifferWhereTheirTablesChanged) {
  struct Case {
    const char* index;
    const char* table;
    std::vector<std::uint32_t> differing;  // records whose entry the index lacks or has wrong
  };
  for (const Case& c :
       {Case{"php-xbase/issue115.cdx", "php-xbase/issue115.dbf", {2, 3, 4, 5, 6, 7, 8, 9}},
        Case{"XSharpPublic/CUSTNAME.NTX", "XSharpPublic/customer.dbf", {1, 2, 3}}}) {
    SCOPED_TRACE(c.index);
    const auto reader = OpenIndexFile(CorpusPath(c.index));
    TDbf table;
    table.SetTableName(CorpusPath(c.table));
    table.SetReadOnly(true);
    table.Open();
    const TKeyExprTable fields = KeyExprTableOf(*table.DbfFile(), table.Layout());
    const std::vector<std::string> records = Records(*table.DbfFile());
    TTagKey key =
        TTagKey::Compile(reader->Info().format, reader->Tag(reader->TagCount() - 1), fields);
    std::vector<std::string> failures;
    const int t = reader->TagCount() - 1;
    Entries have = IndexEntries(*reader, t, key.Encoding().kind);
    Entries want = TableEntries(*reader, t, key, records, failures);
    std::sort(have.begin(), have.end());
    std::sort(want.begin(), want.end());
    Entries missing;
    std::set_difference(want.begin(), want.end(), have.begin(), have.end(),
                        std::back_inserter(missing));
    std::vector<std::uint32_t> differing;
    for (const auto& entry : missing) differing.push_back(entry.second);
    std::sort(differing.begin(), differing.end());
    EXPECT_EQ(differing, c.differing);
    table.Close();
  }
}

}  // namespace
}  // namespace tavlo
