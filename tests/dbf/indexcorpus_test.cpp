// The index readers on real files other programs wrote (tests/data/index): each file's tags
// and flags, each tag's walk (count and order), keys against the table they index, and seeks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "dbf/indexreader.h"
#include "index_testutil.h"

namespace tavlo {
namespace {

using indextest::CorpusPath;

// odd: why a tag is not a faithful index of its table. "stale": written before records were
// added or changed; "unordered": in a collation's order, not by byte value (reported damaged);
// "weights": keys are collation weights, not the field's text.
struct TagCase {
  const char* name;
  const char* key;
  const char* forExpression;
  const char* flags;  // u unique, d descending, c candidate
  std::int64_t keys;
  const char* odd = "";
};

struct FileCase {
  const char* index;
  const char* table;  // "" when the table is not in the copy
  std::vector<TagCase> tags;
};

const std::vector<FileCase>& Corpus() {
  static const std::vector<FileCase> files = {
      {"infused-dbf/calls.CDX",
       "infused-dbf/calls.dbf",
       {{"CALL_ID", "call_id", "", "c", 16}, {"CONTACT_ID", "contact_id", "", "", 16}}},
      {"infused-dbf/contacts.CDX",
       "infused-dbf/contacts.dbf",
       {{"CONTACT_ID", "contact_id", "", "c", 5}, {"TYPE_ID", "contact_type_id", "", "", 5}}},
      {"infused-dbf/setup.CDX", "infused-dbf/setup.dbf", {{"KEY_NAME", "key_name", "", "c", 3}}},
      {"infused-dbf/types.CDX",
       "infused-dbf/types.dbf",
       {{"TYPE_ID", "contact_type_id", "", "c", 2}}},
      {"go-dbase/employees.CDX",
       "go-dbase/employees.dbf",
       {{"DEPARTMENT", "departmentname", "", "", 3},
        {"EMAILNAME", "emailname", "", "", 3},
        {"LASTNAME", "lastname", "", "", 3},
        {"POSTALCODE", "postalcode", "", "", 3},
        {"PRIMARYKEY", "employeeid", "", "c", 3}}},
      {"go-dbase/expense details.CDX",
       "go-dbase/expense details.dbf",
       {{"EXPENSECAT", "expensecategoryid", "", "", 6},
        {"EXPREPID", "expensereportid", "", "", 6},
        {"PRIMARYKEY", "expensedetailid", "", "c", 6}}},
      {"go-dbase/expense reports.CDX",
       "go-dbase/expense reports.dbf",
       {{"DATESUBMIT", "datesubmitted", "", "", 3},
        {"EMPLOYEEID", "employeeid", "", "", 3},
        {"PRIMARYKEY", "expensereportid", "", "c", 3}}},
      {"javadbf/employees.cdx",
       "javadbf/employees.dbf",
       {{"EMAILNAME", "emailname", "", "", 5},
        {"LASTNAME", "lastname", "", "", 5},
        {"POSTALCODE", "postalcode", "", "", 5},
        {"PRIMARYKEY", "employeeid", "", "c", 5}}},
      {"javadbf/foxref_ref.cdx",
       "javadbf/foxref_ref.dbf",
       {{"CHECKED", "checked", "", "", 79},
        {"FILEID", "fileid", "", "", 79},
        {"INACTIVE", "inactive", "", "", 79},
        {"REFID", "refid", "", "", 79},
        {"REFTYPE", "reftype", "", "", 79},
        {"SETID", "setid", "", "", 79},
        {"UNIQUEID", "uniqueid", "", "", 79}}},
      {"javadbf/payments.cdx",
       "javadbf/payments.dbf",
       {{"PAYMENTMET", "paymentmethodid", "", "", 5},
        {"PRIMARYKEY", "paymentid", "", "c", 5},
        {"PROJECTID", "projectid", "", "", 5}}},
      {"php-xbase/issue115.cdx",
       "php-xbase/issue115.dbf",
       {{"COD", "cod", ".NOT.DELETED()", "c", 1, "stale"},
        {"DENUMIRE", "denumire", "", "", 1, "stale"}}},
      {"jdbf/TEXTO.CDX", "jdbf/texto.dbf", {{"ITEXTO", "PADR(texver,5)", "", "", 5}}},
      {"DBD-XBase/rooms.cdx",
       "DBD-XBase/rooms.dbf",
       {{"AUDIO", "roomname", "TRIM(UPPER(facility))==\"AUDIO\"", "", 13},
        {"FACILITY", "facility", "", "", 42},
        {"FILM", "roomname", "TRIM(UPPER(facility))==\"FILM\"", "", 6},
        {"MAIN", "roomname", "TRIM(UPPER(facility))==\"MAIN\"", "", 21},
        {"ROOMNAME", "roomname", "", "", 42}}},
      {"XSharpPublic/TEST10K.CDX",
       "",
       {{"AGE", "AGE", "", "", 10000},
        {"CITY", "CITY", "", "", 10000, "unordered"},
        {"FIRST", "FIRST", "", "", 10000, "unordered"},
        {"HIREDATE", "HIREDATE", "", "", 10000},
        {"LAST", "LAST", "", "", 10000, "unordered"},
        {"SALARY", "SALARY", "", "", 10000},
        {"STATE", "STATE", "", "", 10000}}},
      {"VFPX-Samples/orders.cdx",
       "VFPX-Samples/orders.dbf",
       {{"CUSTOMERID", "customerid", "", "", 830},
        {"EMPLOYEEID", "employeeid", "", "", 830},
        {"ORDERDATE", "orderdate", "", "", 830},
        {"ORDERID", "orderid", "", "c", 830},
        {"SHIPPEDDAT", "shippeddate", "", "", 830},
        {"SHIPPERID", "shipvia", "", "", 830}}},
      {"VFPX-Samples/orderdetails.cdx",
       "VFPX-Samples/orderdetails.dbf",
       {{"ORDERID", "orderid", "", "", 2155},
        {"PRIMARYKEY", "STR(orderid)+STR(productid)", "", "c", 2155},
        {"PRODUCTID", "productid", "", "", 2155}}},
      {"VFPX-Samples/products.cdx",
       "VFPX-Samples/products.dbf",
       {{"CATEGORYID", "categoryid", "", "", 77},
        {"PRODUCTID", "productid", "", "c", 77},
        {"PRODUCTNAM", "UPPER(productname)", "", "", 77},
        {"SUPPLIERID", "supplierid", "", "", 77}}},
      {"VFPX-Samples/customers.cdx",
       "VFPX-Samples/customers.dbf",
       {{"CITY", "UPPER(city)", "", "", 91},
        {"COMPANYNAM", "UPPER(companyname)", "", "", 91},
        {"CUSTOMERID", "customerid", "", "c", 91},
        {"POSTALCODE", "UPPER(postalcode)", "", "", 91},
        {"REGION", "UPPER(region)", "", "", 91}}},
      {"VFPX-Samples/behindsc.cdx",
       "VFPX-Samples/behindsc.dbf",
       {{"SCREEN_ID", "screen_id", "", "", 65},
        {"SCREEN_TOP", "screen_id+topic", "", "", 65},
        {"TOPIC", "LTRIM(topic)", "", "", 65}}},
      {"VFPX-Samples/SavedCovLog.cdx",
       "VFPX-Samples/SavedCovLog.dbf",
       {{"AVG", "avg", "", "", 274},
        {"CODE", "code", "", "", 274, "weights"},
        {"FILETYPE", "filetype", "", "", 274, "weights"},
        {"FIRST", "first", "", "", 274},
        {"HITS", "hits", "", "", 274},
        {"LINE", "line", "", "", 274},
        {"METHOD", "method", "", "", 274, "weights"},
        {"OBJCLASS", "objclass", "", "", 274, "weights"},
        {"PLINE", "pline", "", "", 274},
        {"SOURCE", "source", "", "", 274, "weights"},
        {"TOTAL", "total", "", "", 274}}},
      {"VFPX-Samples/orditems.cdx",
       "VFPX-Samples/orditems.dbf",
       {{"PRODUCT_ID", "BINTOC(VAL(product_id),1)", "", "", 2820}}},
      {"xharbour/people.CDX",
       "xharbour/people.dbf",
       {{"K_ID", "id", "", "", 105}, {"K_NAME", "name", "", "", 105}}},
      {"xharbour/peopleex.CDX",
       "xharbour/peopleex.DBF",
       {{"K_ID", "ID", "", "", 105}, {"K_STATE", "STATE", "", "", 105}}},
      {"xharbour/orddet.CDX", "xharbour/orddet.DBF", {{"K_ID", "orderid", "", "", 153}}},
      {"mod_harbour/users.cdx",
       "mod_harbour/users.dbf",
       {{"DPT", "dpt", "", "", 8}, {"ID", "ID", "", "", 8}}},
      {"XSharpPublic/TESTNTX2.NTX", "XSharpPublic/TESTNTX2.DBF", {{"TESTNTX2", "ID", "", "", 5}}},
      {"XSharpPublic/10kDate.ntx", "", {{"10kDate", "Hiredate", "", "", 10000}}},
      {"XSharpPublic/10kSalary.ntx", "", {{"10kSalary", "-Salary", "", "", 10000}}},
      {"XSharpPublic/10kState.ntx", "", {{"10kState", "State", "", "", 10000}}},
      {"XSharpPublic/CUSTNAME.NTX",
       "XSharpPublic/customer.dbf",
       {{"CUSTNAME", "lastname + firstname", "!Deleted()", "", 20}}},
      {"XSharpPublic/CUSTNUM.NTX",
       "XSharpPublic/customer.dbf",
       {{"CUSTNUM", "custnum", "!Deleted()", "", 20, "stale"}}},
      {"DBD-XBase/ntx-char.ntx",
       "DBD-XBase/ntx-char.dbf",
       {{"ntx-char", "ntx_char->v1", "", "", 68}}},
      {"harbour/test1.ntx", "harbour/test.dbf", {{"test1", "FIELD->LAST", "", "", 500}}},
      {"DBD-XBase/ndx-char.ndx", "DBD-XBase/ndx-char.dbf", {{"ndx-char", "v1", "", "", 28}}},
      {"DBD-XBase/ndx-date.ndx", "DBD-XBase/ndx-date.dbf", {{"ndx-date", "field1", "", "", 297}}},
      {"DBD-XBase/ndx-num.ndx", "DBD-XBase/ndx-num.dbf", {{"ndx-num", "field1", "", "", 594}}},
      {"Group-336.2/holdings.mdx",
       "Group-336.2/holdings.dbf",
       {{"SYMBOL", "SYMBOL", "", "", 40}, {"ACCT_NBR", "ACCT_NBR", "", "", 40}}},
      {"Group-336.2/industry.mdx",
       "Group-336.2/industry.dbf",
       {{"IND_CODE", "IND_CODE", "", "", 18}}},
      {"Group-336.2/master.mdx",
       "Group-336.2/master.dbf",
       {{"SYMBOL", "SYMBOL", "", "u", 110},
        {"GROWTHASC", "PROJ_GRTH", "", "", 110},
        {"GROWTHDESC", "PROJ_GRTH", "", "d", 110}}},
      {"jdbfdriver/TEST.MDX",
       "jdbfdriver/TEST.DBF",
       {{"TEST1", "TEST1", "", "", 3}, {"TEST2", "test2", "", "", 3}}},
  };
  return files;
}

std::string Flags(const TIndexTag& tag) {
  return std::string(tag.unique ? "u" : "") + (tag.descending ? "d" : "") +
         (tag.candidate ? "c" : "");
}

TEST(IndexCorpus, TheCopyHoldsEveryIndexFileOfItsSources) {
  const std::string sources = indextest::CorpusBytes("SOURCES.md");
  int formats[4] = {};
  for (const FileCase& file : Corpus()) {
    SCOPED_TRACE(file.index);
    EXPECT_NE(sources.find(std::string("`") + file.index + "`"), std::string::npos);
    TIndexFormat format = TIndexFormat::Cdx;
    ASSERT_TRUE(IndexFormatOfPath(file.index, format));
    ++formats[static_cast<int>(format)];
  }
  EXPECT_EQ(formats[0], 25);
  EXPECT_EQ(formats[1], 4);
  EXPECT_EQ(formats[2], 3);
  EXPECT_EQ(formats[3], 8);
}

TEST(IndexCorpus, TagsNameTheirExpressionsAndFlagsAsTheFilesRecordThem) {
  for (const FileCase& file : Corpus()) {
    SCOPED_TRACE(file.index);
    const auto reader = OpenIndexFile(CorpusPath(file.index));
    EXPECT_EQ(reader->Info().damage, "");
    ASSERT_EQ(reader->TagCount(), static_cast<int>(file.tags.size()));
    for (int t = 0; t < reader->TagCount(); ++t) {
      const TIndexTag& tag = reader->Tag(t);
      const TagCase& want = file.tags[t];
      EXPECT_EQ(tag.name, want.name);
      EXPECT_EQ(tag.keyExpression, want.key);
      EXPECT_EQ(tag.forExpression, want.forExpression);
      EXPECT_EQ(Flags(tag), want.flags) << tag.name;
      // Only the coverage log's tags were made in another collation than byte order.
      const bool pinyin = std::strcmp(file.index, "VFPX-Samples/SavedCovLog.cdx") == 0;
      EXPECT_EQ(tag.collation, pinyin ? "PINYIN" : "") << tag.name;
    }
  }
}

TEST(IndexCorpus, EveryTagWalksFromItsRootToItsKeyCountInOrder) {
  for (const FileCase& file : Corpus()) {
    const auto reader = OpenIndexFile(CorpusPath(file.index));
    for (int t = 0; t < reader->TagCount(); ++t) {
      const TIndexTag& tag = reader->Tag(t);
      const TagCase& want = file.tags[t];
      SCOPED_TRACE(std::string(file.index) + " " + tag.name);
      EXPECT_EQ(tag.keyCount, want.keys);
      if (std::strcmp(want.odd, "unordered") == 0) {
        EXPECT_FALSE(tag.readable);
        EXPECT_NE(tag.damage.find("the keys are out of order on page "), std::string::npos)
            << tag.damage;
        continue;
      }
      EXPECT_TRUE(tag.readable) << tag.damage;
      TIndexCursor cursor = reader->Cursor(t);
      std::int64_t walked = 0;
      std::string previous;
      std::vector<std::pair<std::string, std::uint32_t>> forward;
      for (bool more = cursor.First(); more; more = cursor.Next(), ++walked) {
        ASSERT_EQ(cursor.Key().size(), static_cast<std::size_t>(tag.keyLength));
        if (walked > 0) {
          ASSERT_LE(reader->CompareKeys(t, previous, cursor.Key()), 0) << walked;
        }
        previous = cursor.Key();
        forward.emplace_back(cursor.Key(), cursor.Record());
      }
      EXPECT_EQ(walked, want.keys);
      // Backward from the last entry meets the same entries in reverse, and a turn in the
      // middle goes back the way it came.
      std::vector<std::pair<std::string, std::uint32_t>> backward;
      for (bool more = cursor.Last(); more; more = cursor.Prev()) {
        backward.emplace_back(cursor.Key(), cursor.Record());
      }
      std::reverse(backward.begin(), backward.end());
      EXPECT_EQ(backward, forward);
      if (forward.size() >= 3) {
        const std::size_t middle = forward.size() / 2;
        ASSERT_TRUE(cursor.First());
        for (std::size_t i = 0; i < middle; ++i) ASSERT_TRUE(cursor.Next());
        ASSERT_TRUE(cursor.Prev());
        EXPECT_EQ(cursor.Record(), forward[middle - 1].second);
        ASSERT_TRUE(cursor.Next());
        ASSERT_TRUE(cursor.Next());
        EXPECT_EQ(cursor.Record(), forward[middle + 1].second);
        ASSERT_TRUE(cursor.First());
        EXPECT_FALSE(cursor.Prev());
      }
    }
  }
}

// The ground truth: for tags over one field, the walk meets every record once (those a FOR
// clause lets in) and each key decodes to that record's value. The tags known not to be
// faithful indexes of their tables must show it.
TEST(IndexCorpus, KeysOfOneFieldEqualTheValuesOfTheirRecords) {
  int checkedTags = 0;
  for (const FileCase& file : Corpus()) {
    if (*file.table == '\0') continue;
    const indextest::TableRows rows = indextest::ReadTable(CorpusPath(file.table));
    const auto reader = OpenIndexFile(CorpusPath(file.index));
    for (int t = 0; t < reader->TagCount(); ++t) {
      const TIndexTag& tag = reader->Tag(t);
      const TagCase& want = file.tags[t];
      SCOPED_TRACE(std::string(file.index) + " " + tag.name);
      bool upper = false;
      const int field = indextest::SimpleKeyField(rows, tag.keyExpression, upper);
      if (!tag.readable || (field < 0 && *want.odd != '\0')) continue;
      std::vector<std::string> disagreements;
      std::vector<int> seen(rows.bytes.size(), 0);
      TIndexCursor cursor = reader->Cursor(t);
      for (bool more = cursor.First(); more; more = cursor.Next()) {
        ASSERT_GE(cursor.Record(), 1u);
        ASSERT_LE(cursor.Record(), rows.bytes.size());
        ++seen[cursor.Record() - 1];
        if (field < 0) continue;
        const TIndexKeyValue key =
            DecodeIndexKey(reader->Info().format, indextest::KeyTypeOfField(rows.fields[field]),
                           cursor.Key(), tag.nullMarker);
        const std::string disagreement =
            indextest::KeyDisagreement(rows, field, upper, cursor.Record() - 1, key);
        if (!disagreement.empty()) disagreements.push_back(disagreement);
      }
      const std::string forExpression = want.forExpression;
      const bool notDeleted = forExpression == "!Deleted()" || forExpression == ".NOT.DELETED()";
      for (std::size_t r = 0; r < seen.size(); ++r) {
        if (forExpression.empty() || notDeleted) {
          const int once = forExpression.empty() || !rows.deleted[r] ? 1 : 0;
          if (seen[r] != once)
            disagreements.push_back("record " + std::to_string(r + 1) + " met " +
                                    std::to_string(seen[r]) + " times");
        } else if (seen[r] > 1) {
          disagreements.push_back("record " + std::to_string(r + 1) + " met twice");
        }
      }
      if (*want.odd == '\0') {
        EXPECT_EQ(disagreements, std::vector<std::string>{});
        if (field >= 0) ++checkedTags;
      } else {
        EXPECT_FALSE(disagreements.empty()) << "a " << want.odd << " tag agrees with its table";
      }
    }
  }
  EXPECT_EQ(checkedTags, 69);
}

// Seek against a scan: the first entry that does not sort before the key, for the first,
// a middle and the last key, keys between them, and keys before and after all.
TEST(IndexCorpus, SeekFindsTheFirstEntryThatDoesNotSortBeforeTheKey) {
  for (const FileCase& file : Corpus()) {
    const auto reader = OpenIndexFile(CorpusPath(file.index));
    for (int t = 0; t < reader->TagCount(); ++t) {
      const TIndexTag& tag = reader->Tag(t);
      if (!tag.readable) continue;
      SCOPED_TRACE(std::string(file.index) + " " + tag.name);
      std::vector<std::pair<std::string, std::uint32_t>> entries;
      TIndexCursor scan = reader->Cursor(t);
      for (bool more = scan.First(); more; more = scan.Next()) {
        entries.emplace_back(scan.Key(), scan.Record());
      }
      std::vector<std::string> keys;
      if (!entries.empty()) {
        for (std::size_t i :
             {std::size_t{0}, entries.size() / 3, entries.size() / 2, entries.size() - 1}) {
          keys.push_back(entries[i].first);
          if (tag.descending || tag.keyType == TIndexKeyType::Numeric ||
              tag.keyType == TIndexKeyType::Date) {
            continue;  // keys compared by value: only stored keys are keys
          }
          std::string before = entries[i].first;
          if (before.back() != '\0') --before.back();
          keys.push_back(before);
          keys.push_back(entries[i].first.substr(0, 1));
        }
      }
      if (!tag.descending && tag.keyType != TIndexKeyType::Numeric &&
          tag.keyType != TIndexKeyType::Date) {
        keys.push_back("");
        keys.push_back(std::string(static_cast<std::size_t>(tag.keyLength), '\xFF'));
      }
      for (const std::string& key : keys) {
        std::size_t want = 0;
        while (want < entries.size() && reader->CompareKeys(t, entries[want].first, key) < 0) {
          ++want;
        }
        TIndexCursor cursor = reader->Cursor(t);
        const bool found = cursor.Seek(key);
        ASSERT_EQ(found, want < entries.size());
        if (!found) continue;
        EXPECT_EQ(cursor.Key(), entries[want].first);
        EXPECT_EQ(cursor.Record(), entries[want].second);
        // Going on from there meets the rest of the entries.
        std::size_t next = want;
        while (cursor.Next()) ++next;
        EXPECT_EQ(next + 1, entries.size());
      }
    }
  }
}

// A stream that counts its reads, to see that a seek reads the pages of one path only.
class CountingStream : public ByteStream {
 public:
  explicit CountingStream(std::string bytes) : bytes_(std::move(bytes)) {}
  std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override {
    ++reads;
    if (offset >= static_cast<std::int64_t>(bytes_.size())) return 0;
    size = std::min(size, bytes_.size() - static_cast<std::size_t>(offset));
    std::memcpy(buffer, bytes_.data() + offset, size);
    return size;
  }
  void WriteAt(std::int64_t, const void*, std::size_t) override { throw EWriteError(); }
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }
  void Truncate(std::int64_t) override { throw EWriteError(); }
  int reads = 0;

 private:
  std::string bytes_;
};

TEST(IndexCorpus, SeekReadsOnePagePerLevel) {
  struct Case {
    const char* index;
    int tag;
  };
  for (const Case& c : {Case{"XSharpPublic/10kDate.ntx", 0}, Case{"XSharpPublic/TEST10K.CDX", 0},
                        Case{"VFPX-Samples/SavedCovLog.cdx", 1}, Case{"Group-336.2/master.mdx", 1},
                        Case{"DBD-XBase/ndx-char.ndx", 0}}) {
    SCOPED_TRACE(c.index);
    auto stream = std::make_unique<CountingStream>(indextest::CorpusBytes(c.index));
    CountingStream* counter = stream.get();
    TIndexFormat format = TIndexFormat::Cdx;
    ASSERT_TRUE(IndexFormatOfPath(c.index, format));
    const auto reader =
        ReadIndexBytes(format, std::make_shared<TIndexBytes>(std::move(stream)), c.index, {});
    const TIndexTag& tag = reader->Tag(c.tag);
    ASSERT_TRUE(tag.readable) << tag.damage;
    ASSERT_GE(tag.depth, 2);
    std::string middle;
    TIndexCursor scan = reader->Cursor(c.tag);
    std::int64_t i = 0;
    for (bool more = scan.First(); more && i <= tag.keyCount / 2; more = scan.Next(), ++i) {
      middle = scan.Key();
    }
    counter->reads = 0;
    TIndexCursor cursor = reader->Cursor(c.tag);
    ASSERT_TRUE(cursor.Seek(middle));
    EXPECT_EQ(cursor.Key(), middle);
    // NTX keys of interior pages are entries: the seek may stop above the leaves.
    EXPECT_LE(counter->reads, tag.depth);
    EXPECT_GE(counter->reads, 1);
  }
}

}  // namespace
}  // namespace tavlo
