// Queries over a paged file's record set: select with and without a query script, order-by
// keys, find bounds, get, update and delete, readonly sets and record locks in one process.

#include <vector>

#include "pagedfile/pagedfile.h"
#include "script/qelscript.h"
#include "tempfolder.h"
#include "text/errors.h"
#include "text/qelstrings.h"

namespace tavlo {
namespace {

using testing::ReadBytes;
using testing::TempFolder;

class QueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TqelPagedFile().Create(path_, 64, "alice", "Secret12");
    f_.Open(path_, "alice", "Secret12");
  }
  void Add(const std::vector<std::string>& records) {
    for (const auto& r : records) f_.Append(r);
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (int i = 0; i < f_.Count(); ++i) names.push_back(AttrGet(f_.Get(i), "name"));
    return names;
  }
  using Names_t = std::vector<std::string>;

  TempFolder folder_;
  std::string path_ = folder_.File("q.jpf");
  TqelPagedFile f_;
};

TEST_F(QueryTest, SelectTakesRecordsInFileOrderAsASnapshot) {
  Add({"name=\"Ann\" city=\"Paris\"", "name=\"Bob\" city=\"Rome\"", "name=\"Cid\" city=\"Paris\""});
  f_.Select("", false);
  EXPECT_EQ(Names(), (Names_t{"Ann", "Bob", "Cid"}));
  f_.Append("name=\"Dan\" city=\"Paris\"");
  EXPECT_EQ(f_.Count(), 3);  // not until the next select
  f_.Select(">city.get 'Paris' =", false);
  EXPECT_EQ(Names(), (Names_t{"Ann", "Cid", "Dan"}));
  // A missing attribute reads as the empty text.
  f_.Select(">zip.get '' =", false);
  EXPECT_EQ(f_.Count(), 4);
}

TEST_F(QueryTest, QueryErrorsStopTheSelectAndKeepWhatWasFound) {
  Add({"name=\"a\" ok=\"true\"", "name=\"b\" ok=\"maybe\"", "name=\"c\" ok=\"true\""});
  EXPECT_THROW_MSG(f_.Select(">ok.get", false), EVariantTypeCastError,
                   "Invalid variant type conversion");
  EXPECT_EQ(Names(), (Names_t{"a"}));
  EXPECT_THROW(f_.Select("nosuchword", false), EqelScriptError);
}

TEST_F(QueryTest, OrderByKeys) {
  Add({"name=\"bob\" age=\"30\"", "name=\"Al\" age=\"25\"", "name=\"amy\" age=\"30\"",
       "name=\"Cy\" age=\"41\""});
  f_.Select("", false);
  f_.OrderBy("-#age,name");
  EXPECT_EQ(Names(), (Names_t{"Cy", "amy", "bob", "Al"}));
  f_.OrderBy("name");
  EXPECT_EQ(Names(), (Names_t{"Al", "amy", "bob", "Cy"}));
  f_.OrderBy("\"name\" -age");  // blanks separate keys too; quotes are removed
  EXPECT_EQ(Names(), (Names_t{"Al", "amy", "bob", "Cy"}));
  EXPECT_EQ(f_.Records().SortKeys(), (Names_t{"name", "-age"}));
}

TEST_F(QueryTest, NumericKeysCompareTheirSixDigitForms) {
  // "%6.6d" texts: -000005 sorts before -000010, and 1234567 before 999999.
  Add({"name=\"m10\" n=\"-10\"", "name=\"m5\" n=\"-5\"", "name=\"big\" n=\"999999\"",
       "name=\"bigger\" n=\"1234567\"", "name=\"hex\" n=\"$10\""});
  f_.Select("", false);
  f_.OrderBy("#n");
  EXPECT_EQ(Names(), (Names_t{"m5", "m10", "hex", "bigger", "big"}));
}

TEST_F(QueryTest, NonIntegerUnderNumericKeyEndsTheComparison) {
  // Equal from the numeric key on: the name key is never consulted, so a stable sort keeps
  // the file order.
  Add({"name=\"b\" n=\"x\"", "name=\"a\" n=\"x\"", "name=\"c\" n=\"1.5\""});
  f_.Select("", false);
  f_.OrderBy("#n,name");
  EXPECT_EQ(Names(), (Names_t{"b", "a", "c"}));
  f_.OrderBy("name");
  EXPECT_EQ(Names(), (Names_t{"a", "b", "c"}));
}

TEST_F(QueryTest, FindBounds) {
  Add({"name=\"a\" k=\"1\"", "name=\"b\" k=\"2\"", "name=\"c\" k=\"1\""});
  f_.Select("", false);
  EXPECT_EQ(f_.Find(">k.get '1' =", 0), 0);
  EXPECT_EQ(f_.Find(">k.get '1' =", 1), 2);
  EXPECT_EQ(f_.Find(">k.get '3' =", 0), -1);
  EXPECT_EQ(f_.Find("", 0), -1);
  // A start at the end never runs the query (this one would underflow).
  EXPECT_EQ(f_.Find("drop", 3), -1);
  EXPECT_THROW_MSG(f_.Find(">k.get '1' =", -1), EListError, "List index out of bounds (-1)");
  f_.Select(">k.get '9' =", false);
  EXPECT_EQ(f_.Find("drop", -1), -1);  // empty set
}

TEST_F(QueryTest, GetUpdateAndDeleteCheckTheirIndexAndTheSetsMode) {
  Add({"name=\"a\"", "name=\"b\""});
  f_.Select("", false);
  EXPECT_THROW_MSG(f_.Get(2), EqelPageError, "record index out of range: 2");
  EXPECT_THROW_MSG(f_.Get(-1), EqelPageError, "record index out of range: -1");
  std::string before = ReadBytes(path_);
  EXPECT_THROW_MSG(f_.Update(0, "name=\"z\""), EqelPageError,
                   "can not update; recordset is readonly");
  EXPECT_THROW_MSG(f_.Delete(0), EqelPageError, "can not delete; recordset is readonly");
  EXPECT_THROW_MSG(f_.Update(5, "x"), EqelPageError, "record index out of range: 5");
  EXPECT_EQ(ReadBytes(path_), before);
  EXPECT_EQ(f_.Get(0), "name=\"a\"");
}

TEST_F(QueryTest, UpdateAndDeleteInAWritableSet) {
  Add({"name=\"a\"", "name=\"b\"", "name=\"c\""});
  f_.Select("", true);
  f_.Update(1, "name=\"bee\" more=\"" + std::string(60, 'm') + "\"");
  EXPECT_EQ(AttrGet(f_.Get(1), "name"), "bee");
  f_.Delete(0);
  EXPECT_EQ(Names(), (Names_t{"bee", "c"}));
  // The deleted record's first page is the first free one again.
  f_.Append("name=\"new\"");
  f_.Select("", false);
  EXPECT_EQ(Names(), (Names_t{"new", "bee", "c"}));
  f_.Close();
  f_.Open(path_, "alice", "Secret12");
  f_.Select(">name.get 'bee' =", false);
  ASSERT_EQ(f_.Count(), 1);
  EXPECT_EQ(AttrGet(f_.Get(0), "more"), std::string(60, 'm'));
}

TEST_F(QueryTest, RecordLocksBetweenTwoOpensInOneProcess) {
  Add({"name=\"a\"", "name=\"b\""});
  TqelPagedFile other;
  other.Open(path_, "alice", "Secret12");
  f_.Select(">name.get 'b' =", true);
  EXPECT_THROW_MSG(other.Select("", true), EqelPageError,
                   "Record locked by another user. Can not read.");
  EXPECT_EQ(other.Count(), 1);  // "a" was locked before the select met "b"
  other.Select("", false);
  EXPECT_EQ(other.Count(), 2);
  // Updating keeps the lock; closing releases it.
  f_.Update(0, "name=\"b2\"");
  EXPECT_THROW(other.Select(">name.get 'b2' =", true), EqelPageError);
  f_.Close();
  other.Select("", true);
  EXPECT_EQ(other.Count(), 2);
  other.Close();
  // Nothing stays locked on disk.
  std::string bytes = ReadBytes(path_);
  for (std::size_t page = 64; page < bytes.size(); page += 64) EXPECT_EQ(bytes[page + 8], 0);
}

TEST_F(QueryTest, ClosedFileMessages) {
  f_.Close();
  EXPECT_THROW_MSG(f_.Select("", false), EqelPageError,
                   "can not get records because file is not open");
  EXPECT_THROW_MSG(f_.Find("true", 0), EqelPageError,
                   "can not find record because file is not open");
  EXPECT_THROW_MSG(f_.Get(0), EqelPageError, "can not get record because file is not open");
  EXPECT_THROW_MSG(f_.Update(0, ""), EqelPageError, "can not set record because file is not open");
  EXPECT_THROW_MSG(f_.Delete(0), EqelPageError, "can not delete record because file is not open");
  EXPECT_EQ(f_.Count(), 0);
}

}  // namespace
}  // namespace tavlo
