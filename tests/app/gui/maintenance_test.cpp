// The "Table" page's maintenance buttons driven through the program's own window: table
// information, check and repair, pack with its question, append from CSV and export CSV with
// a filter on, and the "Order:" row following an index tag. Results are read back from disk.
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QTest>

#include "app/pages/formpage.h"
#include "app/pages/tablemaintenance.h"
#include "app/pages/tablepage.h"
#include "app/tavlof.h"
#include "dbf/fields.h"
#include "dbf/indexreader.h"
#include "dbf/tablepack.h"
#include "guifixture.h"
#include "platform/desktophost.h"
#include "platform/filesystem.h"
#include "query/recordfilter.h"
#include "text/qelstrings.h"

using namespace tavlo;
using namespace tavlo::testsupport;

namespace {

// Besides the shared host's: keeps the long texts shown (not as messages), choosing their
// action when told; questions are answered No unless a test says otherwise.
class MaintenanceHost : public RecordingHost {
 public:
  struct Report {
    std::string caption, text, action;
  };
  std::vector<Report> reports;
  bool chooseAction = false;

  MaintenanceHost() { answer = Answer::No; }
  bool ShowReport(const std::string& caption, const std::string& text,
                  const std::string& action) override {
    reports.push_back({caption, text, action});
    return chooseAction && !action.empty();
  }
};

void MakeTable(const std::string& path) {
  CreateTable(path,
              {{"NAME", TFieldType::ftString, 12, false},
               {"CITY", TFieldType::ftString, 10, false},
               {"NOTES", TFieldType::ftMemo, 0, false}},
              {{"Anna", "Paris", "About Anna"},
               {"Boris", "Rome", "About Boris"},
               {"Cleo", "Paris", "About Cleo"},
               {"Dora", "Oslo", "About Dora"}});
}

}  // namespace

class MaintenanceTest : public GuiTest<MaintenanceHost> {
  Q_OBJECT

  std::string table_;

  std::unique_ptr<TTavloF> Start() {
    auto window = NewWindow();
    window->OpenTable(table_, false);
    return window;
  }

 private slots:
  void init() {
    SetUpWorkspace();
    table_ = Folder() + "people.dbf";
    MakeTable(table_);
  }
  void cleanup() { TearDownWorkspace(); }

  void informationAndCheck() {
    auto window = Start();
    TTableMaintenance* m = window->pageTable->maintenance;
    QTest::mouseClick(m->btninfo, Qt::LeftButton);
    QCOMPARE(host_->reports.size(), size_t(1));
    QCOMPARE(host_->reports[0].caption, std::string("Table information - people.dbf"));
    QVERIFY2(host_->reports[0].text.find("Records: 4") != std::string::npos,
             host_->reports[0].text.c_str());
    QVERIFY(host_->reports[0].text.find("NOTES") != std::string::npos);

    QTest::mouseClick(m->btncheck, Qt::LeftButton);
    QCOMPARE(host_->reports.size(), size_t(2));
    QCOMPARE(host_->reports[1].text, std::string("4 records (0 deleted); no problems found\n"));
    QVERIFY(host_->reports[1].action.empty());  // nothing to repair
    QVERIFY(host_->messages.empty());
  }

  void openIndexAttachesListsAndIsRememberedForTheTable() {
    const std::string corpus = std::string(TAVLO_SOURCE_DIR) + "/tests/data/index/XSharpPublic/";
    const std::string table = Folder() + "customer.dbf";
    SaveStringToFile(table, LoadFileToString(corpus + "customer.dbf"));
    SaveStringToFile(Folder() + "CUSTNUM.NTX", LoadFileToString(corpus + "CUSTNUM.NTX"));
    SaveStringToFile(Folder() + "bad.ntx", "x");
    {
      auto window = NewWindow();
      window->OpenTable(table, false);
      TTableMaintenance* m = window->pageTable->maintenance;
      // Not an index file: the message, the table open as it was.
      host_->openAnswer = Folder() + "bad.ntx";
      QTest::mouseClick(m->btnindex, Qt::LeftButton);
      QCOMPARE(host_->openDialogs, 1);
      QCOMPARE(host_->openFolder, Folder());
      QVERIFY2(host_->openFilter.find("*.cdx;*.idx;*.mdx;*.ndx;*.ntx") != std::string::npos,
               host_->openFilter.c_str());
      QCOMPARE(host_->errors.size(), size_t(1));
      QVERIFY2(host_->errors[0].find("bad.ntx is not an NTX index file") != std::string::npos,
               host_->errors[0].c_str());
      QVERIFY(window->Dbf1.Active());
      QVERIFY(window->Dbf1.IndexFiles().empty());

      QCOMPARE(window->pageTable->cborder->count(), 1);  // customer.dbf has no production index
      host_->openAnswer = Folder() + "CUSTNUM.NTX";
      QTest::mouseClick(m->btnindex, Qt::LeftButton);
      QCOMPARE(host_->errors.size(), size_t(1));
      QCOMPARE(window->pageTable->cborder->itemText(1), QString("CUSTNUM"));
      QTest::mouseClick(m->btninfo, Qt::LeftButton);
      QCOMPARE(host_->reports.size(), size_t(1));
      const std::string& text = host_->reports[0].text;
      QVERIFY2(text.find("  " + Folder() + "CUSTNUM.NTX: NTX\n") != std::string::npos,
               text.c_str());
      QVERIFY2(text.find("  CUSTNUM (CUSTNUM.NTX): key custnum; for !Deleted(); flags none; key "
                         "N 5; keys 20; understood yes\n") != std::string::npos,
               text.c_str());
      // "Check table" checks the attached file too: it was written before record 1 changed.
      QTest::mouseClick(m->btncheck, Qt::LeftButton);
      QCOMPARE(host_->reports.size(), size_t(2));
      const std::string& check = host_->reports[1].text;
      QVERIFY2(check.find("Index CUSTNUM.NTX, tag CUSTNUM: the index is stale: it does not match "
                          "the table (1 difference)\n") != std::string::npos,
               check.c_str());
      QVERIFY2(check.find("Index CUSTNUM.NTX, tag CUSTNUM: record 1 has key '00002', the index "
                          "has '00001'\n") != std::string::npos,
               check.c_str());
      QVERIFY(window->Dbf1.Active());
    }
    // The program started again attaches the file when it opens the table.
    auto again = NewWindow();
    again->OpenTable(table, false);
    QVERIFY(again->Dbf1.Indexes().FindTag("custnum") != nullptr);
    QCOMPARE(again->Dbf1.IndexFiles(), std::vector<std::string>{Folder() + "CUSTNUM.NTX"});
  }

  void orderRowFollowsATagAndGivesWayToTheHeader() {
    const std::string corpus = std::string(TAVLO_SOURCE_DIR) + "/tests/data/index/VFPX-Samples/";
    const std::string table = Folder() + "customers.dbf";
    SaveStringToFile(table, LoadFileToString(corpus + "customers.dbf"));
    SaveStringToFile(Folder() + "customers.cdx", LoadFileToString(corpus + "customers.cdx"));
    auto window = NewWindow();
    window->OpenTable(table, false);
    TTablePage& page = *window->pageTable;
    QComboBox* order = page.cborder;
    QStringList offered;
    for (int item = 0; item < order->count(); ++item) offered << order->itemText(item);
    QCOMPARE(offered,
             (QStringList{"physical", "CITY", "COMPANYNAM", "CUSTOMERID", "POSTALCODE", "REGION"}));
    QCOMPARE(order->currentText(), QString("physical"));
    GridModel* model = page.DBGrid1->Model();
    const auto companies = [&] {
      QStringList names;
      for (int row = 0; row < 6; ++row)
        names << model->data(model->index(row, 1), Qt::DisplayRole).toString();
      return names;
    };
    const QStringList physical = companies();
    QCOMPARE(physical[4], QString::fromUtf8("Berglunds snabbk\u00f6p"));

    order->setCurrentIndex(2);
    QCOMPARE(window->Dbf1.OrderTagName(), std::string("COMPANYNAM"));
    QCOMPARE(companies(),
             (QStringList{"Alfreds Futterkiste", "Ana Trujillo Emparedados y helados",
                          QString::fromUtf8("Antonio Moreno Taquer\u00eda"), "Around the Horn",
                          "B's Beverages", QString::fromUtf8("Berglunds snabbk\u00f6p")}));
    QCOMPARE(model->CurrentRow(), 0);
    QCOMPARE(GridRows(*window), 91);

    // A title click orders by the column instead: "physical" shown, the arrow on the column.
    QHeaderView* header = page.DBGrid1->horizontalHeader();
    page.TitleClick(0);
    QCOMPARE(order->currentText(), QString("physical"));
    QVERIFY(window->Dbf1.OrderTagName().empty());
    QVERIFY(header->isSortIndicatorShown());
    order->setCurrentIndex(2);
    QVERIFY(!header->isSortIndicatorShown());
    QVERIFY(window->Dbf1.OrderFieldNames().empty());

    order->setCurrentIndex(0);
    QVERIFY(!window->Dbf1.Ordered());
    QCOMPARE(companies(), physical);
    window->CloseTable();
    QCOMPARE(order->count(), 1);
    QVERIFY(!order->isEnabled());
  }

  void orderRowRefusesADamagedTagAndKeepsTheOrderInUse() {
    const std::string corpus = std::string(TAVLO_SOURCE_DIR) + "/tests/data/index/VFPX-Samples/";
    const std::string table = Folder() + "customers.dbf";
    SaveStringToFile(table, LoadFileToString(corpus + "customers.dbf"));
    // The COMPANYNAM tag's root pointer moved off its page: the header reads, the tree not.
    std::string index = LoadFileToString(corpus + "customers.cdx");
    const auto reader = ReadIndexImage(TIndexFormat::Cdx, index, "customers.cdx");
    for (int tag = 0; tag < reader->TagCount(); ++tag) {
      if (reader->Tag(tag).name == "COMPANYNAM") {
        index[static_cast<std::size_t>(reader->Tag(tag).headerOffset)] += 7;
      }
    }
    SaveStringToFile(Folder() + "customers.cdx", index);
    auto window = NewWindow();
    window->OpenTable(table, false);
    TTablePage& page = *window->pageTable;
    page.cborder->setCurrentIndex(1);  // CITY
    QCOMPARE(window->Dbf1.OrderTagName(), std::string("CITY"));
    host_->messages.clear();
    page.cborder->setCurrentIndex(2);  // COMPANYNAM
    QCOMPARE(host_->messages.size(), size_t(1));
    QVERIFY2(host_->messages[0].find("Tag COMPANYNAM is damaged: ") == 0,
             host_->messages[0].c_str());
    QCOMPARE(page.cborder->currentText(), QString("CITY"));
    QCOMPARE(window->Dbf1.OrderTagName(), std::string("CITY"));
    QCOMPARE(GridRows(*window), 91);
  }

  void packAsksFirstAndReopensThePackedTable() {
    auto window = Start();
    window->Dbf1.First();
    window->Dbf1.Next();
    window->Dbf1.Delete();  // Boris
    TTableMaintenance* m = window->pageTable->maintenance;

    host_->answer = Answer::No;
    QTest::mouseClick(m->btnpack, Qt::LeftButton);
    QCOMPARE(host_->questions.size(), size_t(1));
    QVERIFY2(host_->questions[0].find("1 deleted record is removed for good") != std::string::npos,
             host_->questions[0].c_str());
    QVERIFY(!Files().FileExists(Folder() + "people.bak.dbf"));
    QCOMPARE(CountDeletedRecords(table_), std::int64_t(1));

    host_->answer = Answer::Yes;
    QTest::mouseClick(m->btnpack, Qt::LeftButton);
    QVERIFY2(host_->messages.empty(), host_->messages.empty() ? "" : host_->messages[0].c_str());
    QVERIFY(Files().FileExists(Folder() + "people.bak.dbf"));
    QCOMPARE(window->currentTable, table_);
    QVERIFY(window->Dbf1.Active());
    QCOMPARE(CountDeletedRecords(table_), std::int64_t(0));
    QCOMPARE(NamesOnDisk(table_), (std::vector<std::string>{"Anna", "Cleo", "Dora"}));
    window->Dbf1.Last();
    QCOMPARE(window->Dbf1.FieldByName("NOTES").TextValue(), std::string("About Dora"));

    // Nothing deleted: no question, a message.
    host_->questions.clear();
    QTest::mouseClick(m->btnpack, Qt::LeftButton);
    QVERIFY(host_->questions.empty());
    QCOMPARE(host_->messages.back(), std::string("The table has no deleted records to remove"));
  }

  void appendFromCsvAndExportWithTheFilter() {
    auto window = Start();
    TTableMaintenance* m = window->pageTable->maintenance;
    const std::string csv = Folder() + "more.csv";
    // The same import as tavlo-cli's: a value too long for CITY refuses its row, listed.
    SaveStringToFile(csv,
                     "name,city,extra\r\nEmil,Paris,x\r\nGus,Constantinople,z\r\n"
                     "\"Fay, Jr.\",Lyon,y\r\n");
    host_->openAnswer = csv;
    QTest::mouseClick(m->btnimport, Qt::LeftButton);
    QCOMPARE(host_->reports.size(), size_t(1));
    QCOMPARE(host_->reports[0].text,
             std::string("Column extra is not a field of the table; ignored (2 values)\n"
                         "Line 3: 'Constantinople' is longer than field 'CITY' holds (10 "
                         "characters)\n2 records appended, 1 refused\n"));
    QCOMPARE(NamesOnDisk(table_),
             (std::vector<std::string>{"Anna", "Boris", "Cleo", "Dora", "Emil", "Fay, Jr."}));

    // Export writes what the grid shows: the filter applies.
    window->pageForm->txtfilter->setText(">CITY.get 'Paris' =");
    window->pageForm->btnfilterClick();
    const std::string out = Folder() + "paris.csv";
    host_->saveAnswer = out;
    QTest::mouseClick(m->btnexport, Qt::LeftButton);
    QVERIFY2(host_->messages.empty(), host_->messages.empty() ? "" : host_->messages[0].c_str());
    // Memo texts, not their "(MEMO)" marks.
    QCOMPARE(QString::fromStdString(LoadFileToString(out)),
             QString("NAME,CITY,NOTES\r\nAnna,Paris,About Anna\r\nCleo,Paris,About Cleo\r\n"
                     "Emil,Paris,\r\n"));
  }

  void checkOffersTheRepairOfADamagedTable() {
    // The header claims 9 records.
    std::string bytes = LoadFileToString(table_);
    bytes[4] = 9;
    SaveStringToFile(table_, bytes);
    auto window = Start();
    host_->messages.clear();  // the opening check's message
    host_->chooseAction = true;
    host_->saveAnswer = Folder() + "fixed";
    QTest::mouseClick(window->pageTable->maintenance->btncheck, Qt::LeftButton);
    QVERIFY(host_->reports.size() >= 2);
    QCOMPARE(host_->reports[0].action, std::string("Repair into a new file..."));
    QVERIFY(host_->reports[0].text.find("Header: record count") != std::string::npos);
    QVERIFY(Files().FileExists(Folder() + "fixed.dbf"));
    QCOMPARE(NamesOnDisk(Folder() + "fixed.dbf"),
             (std::vector<std::string>{"Anna", "Boris", "Cleo", "Dora"}));
  }
};

QTEST_MAIN(MaintenanceTest)
#include "maintenance_test.moc"
