// The report generator over real tables: the template edge cases in one table (sections in
// their order, tags without case, markers with case, unknown and empty markers, an unclosed
// marker, values never expanded again), then the cursor walk — filter, empty table, no table,
// an unreadable template, cancelling and where the cursor ends.
#include "workspace/reportbuilder.h"

#include <gtest/gtest.h>

#include "query/recordfilter.h"
#include "dbf/cursor_fixture.h"
#include "words/library.h"

namespace tavlo {
namespace {

using cursortest::CursorTest;
using cursortest::WriteBytes;

class ReportBuilderTest : public CursorTest {
 protected:
  ReportBuilderTest() {
    table_ = MakeTable("towns.dbf",
                       {{"NAME", TFieldType::ftString, 12}, {"CITY", TFieldType::ftString, 10}});
    AddRecords({{"Ann", "Paris"}, {"[[CITY]]", "Rome"}});
    dbf_.SetTableName(table_);
    dbf_.Open();
  }

  void AddRecords(const std::vector<std::pair<std::string, std::string>>& rows) {
    TDbf dbf;
    dbf.SetTableName(table_);
    dbf.Open();
    for (const auto& [name, city] : rows) {
      dbf.Insert();
      dbf.LookupField("NAME").SetTextValue(name);
      dbf.LookupField("CITY").SetTextValue(city);
      dbf.Post();
    }
    dbf.Close();
  }

  TReportResult Build(const std::string& templateText, const TReportProgress& progress = {}) {
    WriteBytes(templatePath_, templateText);
    return BuildReportText(templatePath_, table_, dbf_, progress);
  }

  std::string table_;
  std::string templatePath_ = folder_.File("towns.drpt");
  TDbf dbf_;
};

TEST_F(ReportBuilderTest, TemplateSectionsAndMarkers) {
  const struct {
    const char* name;
    const char* templateText;
    const char* report;  // nullptr: no report is made
  } cases[] = {
      {"all five sections; outside text dropped; value holding a marker stays",
       "junk<reportheader>H\r\n</reportheader>x<recordheader>(</recordheader>"
       "<record>[[NAME]]/[[city]]</record><recordfooter>)</recordfooter>y"
       "<reportfooter>F</reportfooter>z",
       "H\r\n(Ann/Paris)([[CITY]]/Rome)F"},
      {"unknown field stands for its name", "<record>[[Total]]=[[NAME]];</record>",
       "Total=Ann;Total=[[CITY]];"},
      {"empty marker disappears", "<record>a[[]]b;</record>", "ab;ab;"},
      {"unclosed marker at the end stays", "<record>[[CITY]]:[[NAME;</record>",
       "Paris:[[NAME;Rome:[[NAME;"},
      {"unclosed marker pairs with the next closing brackets", "<record>[[NAME [[CITY]]|</record>",
       "NAME [[CITY|NAME [[CITY|"},
      {"markers compare with case only in the brackets", "<record>[[name]] [[Name]],</record>",
       "Ann Ann,[[CITY]] [[CITY]],"},
      {"tags in upper case", "<RECORDHEADER>-</RECORDHEADER><RECORD>[[NAME]]</RECORD>",
       "-Ann-[[CITY]]"},
      {"no record header: the body is searched from the start",
       "<reportheader>H</reportheader><record>[[NAME]]</record>"
       "<recordfooter>;</recordfooter>",
       "HAnn;[[CITY]];"},
      {"report header without its closing tag is empty", "<reportheader>H<record>[[CITY]]</record>",
       "ParisRome"},
      {"body before the record header", "<record>[[NAME]]</record><recordheader>x</recordheader>",
       nullptr},
      {"body without its closing tag", "<recordheader>x</recordheader><record>[[NAME]]", nullptr},
      {"empty body", "<reportheader>H</reportheader><record></record>", nullptr},
      {"no sections at all", "<html>[[NAME]]</html>", nullptr},
      {"empty report header and footer",
       "<reportheader></reportheader><record>[[NAME]],</record><reportfooter></reportfooter>",
       "Ann,[[CITY]],"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TReportResult result = Build(c.templateText);
    if (c.report == nullptr) {
      EXPECT_EQ(result.status, TReportStatus::rsNoRecordBody);
      EXPECT_EQ(result.text, "");
    } else {
      EXPECT_EQ(result.status, TReportStatus::rsBuilt);
      EXPECT_EQ(result.text, c.report);
    }
  }
}

TEST_F(ReportBuilderTest, SectionSearchFollowsTheTemplateOrder) {
  const TReportTemplate sections = ParseReportTemplate(
      "<record>c</record><ReportHeader>a</ReportHeader><recordfooter>d</recordfooter>"
      "<reportfooter>f");
  EXPECT_EQ(sections.reportHeader, "a");
  // Searched after the report header: not found, so the record body is searched from the
  // beginning, and the record footer after the body.
  EXPECT_EQ(sections.recordHeader, "");
  EXPECT_EQ(sections.record, "c");
  EXPECT_EQ(sections.recordFooter, "d");
  // An opening tag without its closing tag gives an empty section.
  EXPECT_EQ(sections.reportFooter, "");
}

TEST_F(ReportBuilderTest, ReportsOnlyTheRecordsTheFilterAccepts) {
  AddRecords({{"Cid", "Paris"}});
  RegisterLibraryWords();
  TqelScript script;
  TRecordFilter filter(dbf_, script);
  filter.Filter(table_, ">city.get 'Paris' =");
  EXPECT_EQ(Build("<record>[[NAME]];</record>").text, "Ann;Cid;");
  filter.Filter(table_, "0");
  EXPECT_EQ(Build("<record>[[NAME]];</record>").status, TReportStatus::rsNoRecords);
}

TEST_F(ReportBuilderTest, RecordsComeInTheCursorsOrderFilterApplied) {
  AddRecords({{"Cid", "paris"}, {"Bea", "Oslo"}, {"Dan", "Rome"}});
  dbf_.SetOrder({"CITY", "NAME"});
  EXPECT_EQ(Build("<record>[[NAME]];</record>").text, "Bea;Ann;Cid;Dan;[[CITY]];");
  dbf_.SetOrder({"NAME"}, true);
  RegisterLibraryWords();
  TqelScript script;
  TRecordFilter filter(dbf_, script);
  filter.Filter(table_, ">city.get 'Rome' = not");
  EXPECT_EQ(Build("<record>[[NAME]];</record>").text, "Cid;Bea;Ann;");
}

TEST_F(ReportBuilderTest, NothingWithoutTableOrRecordsAndTheCursorEndsAfterTheLast) {
  WriteBytes(templatePath_, "<record>[[NAME]]</record>");
  EXPECT_EQ(BuildReport(templatePath_, "", dbf_), "");
  EXPECT_EQ(BuildReportText(templatePath_, "", dbf_).status, TReportStatus::rsNoTable);
  // No table: the template is not even read.
  EXPECT_EQ(BuildReport(folder_.File("missing.drpt"), "", dbf_), "");

  EXPECT_EQ(BuildReport(templatePath_, table_, dbf_), "Ann[[CITY]]");
  EXPECT_TRUE(dbf_.AtEnd());
  EXPECT_EQ(dbf_.LookupField("NAME").TextValue(), "[[CITY]]");

  dbf_.Close();
  const std::string empty = MakeTable("empty.dbf", {{"NAME", TFieldType::ftString, 12}});
  dbf_.SetTableName(empty);
  dbf_.Open();
  EXPECT_EQ(BuildReportText(templatePath_, empty, dbf_).status, TReportStatus::rsNoRecords);
}

TEST_F(ReportBuilderTest, UnreadableTemplateAndClosedCursorRaise) {
  const std::string missing = folder_.File("missing.drpt");
  EXPECT_THROW_MSG(BuildReport(missing, table_, dbf_), Exception, "Cannot open file " + missing + ": No such file or directory");
  WriteBytes(templatePath_, "<record>[[NAME]]</record>");
  dbf_.Close();
  EXPECT_THROW_MSG(BuildReport(templatePath_, table_, dbf_), Exception,
                   "Cannot perform this operation on a closed dataset");
}

TEST_F(ReportBuilderTest, ProgressCountsUpAndCancelGivesNothing) {
  std::vector<std::pair<std::string, std::string>> many(3000, {"N", "C"});
  AddRecords(many);
  dbf_.Close();
  dbf_.Open();
  std::vector<int> positions;
  int totals = 0;
  const TReportResult built = Build("<record>[[NAME]]</record>", [&](int position, int total) {
    positions.push_back(position);
    totals = total;
    return true;
  });
  EXPECT_EQ(built.status, TReportStatus::rsBuilt);
  EXPECT_EQ(built.text.size(), std::string("Ann[[CITY]]").size() + 3000);
  ASSERT_GE(positions.size(), 5u);
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  EXPECT_LE(positions.back(), 3002);
  EXPECT_EQ(totals, 3002);

  int calls = 0;
  const TReportResult cancelled =
      Build("<record>[[NAME]]</record>", [&](int, int) { return ++calls < 2; });
  EXPECT_EQ(cancelled.status, TReportStatus::rsCancelled);
  EXPECT_EQ(cancelled.text, "");
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace tavlo
