// The code page choice with a preview of the first records in each page.
#include "app/pages/codepagedialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/host/qtdesktophost.h"
#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "platform/codepage.h"
#include "platform/textcodec.h"

namespace tavlo {

namespace {

constexpr int kPreviewRecords = 5;

QString PageName(int page) {
  switch (page) {
    case 0:
      return "As the table says";
    case 65001:
      return "65001 UTF-8";
    case 437:
      return "437 DOS US";
    case 850:
      return "850 DOS Western European";
    case 852:
      return "852 DOS Central European";
    case 866:
      return "866 DOS Cyrillic";
    case 737:
      return "737 DOS Greek";
    case 857:
      return "857 DOS Turkish";
    case 865:
      return "865 DOS Nordic";
    case 1250:
      return "1250 Windows Central European";
    case 1251:
      return "1251 Windows Cyrillic";
    case 1252:
      return "1252 Windows Western European";
    case 1253:
      return "1253 Windows Greek";
    case 1254:
      return "1254 Windows Turkish";
    case 1255:
      return "1255 Windows Hebrew";
    case 1256:
      return "1256 Windows Arabic";
    case 1257:
      return "1257 Windows Baltic";
    case 874:
      return "874 Thai";
    case 932:
      return "932 Japanese";
    case 936:
      return "936 Simplified Chinese";
    case 949:
      return "949 Korean";
    case 950:
      return "950 Traditional Chinese";
    default:
      return QString::number(page);
  }
}

}  // namespace

const std::vector<int>& OfferedCodePages() {
  static const std::vector<int> pages = [] {
    std::vector<int> all;
    for (int page : {0,    437,  850,  852,  866,  737, 857, 865, 1250, 1251, 1252,
                     1253, 1254, 1255, 1256, 1257, 874, 932, 936, 949,  950,  65001}) {
      if (page == 0 || CodePageAvailable(page)) all.push_back(page);
    }
    return all;
  }();
  return pages;
}

TCodePageDialog::TCodePageDialog(TDbf& table, int current, QWidget* parent)
    : QDialog(parent), table_(table) {
  setObjectName("CodePageDialog");
  setWindowTitle("Code page");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Read the character fields of the table in the code page:", this));
  lstPages = new QListWidget(this);
  lstPages->setObjectName("lstPages");
  for (int page : OfferedCodePages()) {
    auto* item = new QListWidgetItem(PageName(page), lstPages);
    item->setData(Qt::UserRole, page);
    if (page == current) lstPages->setCurrentItem(item);
  }
  if (lstPages->currentItem() == nullptr) lstPages->setCurrentRow(0);
  layout->addWidget(lstPages, 1);
  layout->addWidget(new QLabel("First records in that page (the file is not changed):", this));
  grdPreview = new QTableWidget(this);
  grdPreview->setObjectName("grdPreview");
  grdPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdPreview->verticalHeader()->setVisible(false);
  layout->addWidget(grdPreview, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  connect(lstPages, &QListWidget::currentRowChanged, this, [this] { ShowPreview(); });
  resize(560, 520);
  ShowPreview();
}

int TCodePageDialog::ChosenPage() const {
  const QListWidgetItem* item = lstPages->currentItem();
  return item == nullptr ? 0 : item->data(Qt::UserRole).toInt();
}

void TCodePageDialog::ShowPreview() {
  grdPreview->clear();
  std::vector<int> columns;
  for (int i = 0; i < table_.FieldCount(); ++i) {
    if (table_.Fields(i).DataType() == TFieldType::ftString) columns.push_back(i);
  }
  grdPreview->setColumnCount(static_cast<int>(columns.size()));
  QStringList headers;
  for (int column : columns) headers << FromAnsi(table_.Fields(column).FieldName());
  grdPreview->setHorizontalHeaderLabels(headers);
  int page = ChosenPage();
  if (page == 0) page = table_.DbfFile() != nullptr ? table_.DbfFile()->CodePage() : 0;
  if (page == 0) page = CurrentCodePages().OemCodePage();
  const int records = std::min(table_.RecordCount(), kPreviewRecords);
  grdPreview->setRowCount(records);
  TRecordBuffer buffer = table_.NewRecordBuffer();
  try {
    for (int r = 0; r < records; ++r) {
      table_.ReadRecordAt(r, buffer);
      for (std::size_t c = 0; c < columns.size(); ++c) {
        const std::string text = table_.PreviewTextAt(table_.Fields(columns[c]), buffer, page);
        grdPreview->setItem(r, static_cast<int>(c),
                            new QTableWidgetItem(QString::fromUtf8(text.c_str())));
      }
    }
  } catch (const std::exception&) {
    // A record that cannot be read is left out of the preview.
  }
  grdPreview->resizeColumnsToContents();
}

}  // namespace tavlo
