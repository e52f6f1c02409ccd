// The data grid's model over the table cursor.
#include "app/data/gridmodel.h"

#include <QColor>
#include <QElapsedTimer>

#include "query/recordfinder.h"
#include "app/host/qtdesktophost.h"
#include "dbf/fields.h"
#include "text/qelstrings.h"

namespace tavlo {

class GridModel::Link : public TDataLink {
 public:
  explicit Link(GridModel& owner) : owner_(owner) {}
  void ActiveChanged() override { owner_.ResetAll(); }
  void DataSetChanged() override { owner_.Sync(true); }
  void DataSetScrolled(int) override { owner_.Sync(false); }
  void StateChanged() override { owner_.Sync(false); }
  void RecordChanged(TField*) override {
    if (owner_.currentRow_ >= 0)
      emit owner_.dataChanged(owner_.index(owner_.currentRow_, 0),
                              owner_.index(owner_.currentRow_, owner_.columns_ - 1));
  }
  void UpdateData() override {
    if (owner_.OnUpdateData) owner_.OnUpdateData();
  }

 private:
  GridModel& owner_;
};

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent), link_(new Link(*this)) {}

GridModel::~GridModel() noexcept {
  link_->SetDataSet(nullptr);
}

void GridModel::SetDataSource(TDataSource* source) {
  source_ = source;
  table_ = source != nullptr ? dynamic_cast<TDbf*>(source->DataSet()) : nullptr;
  link_->SetDataSet(table_);
  rows_ = table_ != nullptr ? std::make_unique<TableRowSource>(*table_) : nullptr;
  cache_ = rows_ != nullptr ? std::make_unique<RowCache>(*rows_) : nullptr;
  ResetAll();
}

bool GridModel::Inserting() const {
  return table_ != nullptr && table_->State() == TDataSetState::dsInsert;
}

void GridModel::ReportError(const std::exception& error) const {
  if (source_ != nullptr) source_->ReportError(error.what());
}

bool GridModel::Learn(const std::function<void()>& step) const {
  if (learnFailed_ || cache_ == nullptr) return false;
  try {
    step();
    return true;
  } catch (const std::exception& error) {
    // A filter that fails on a record fails again on the same record: stop asking.
    learnFailed_ = true;
    ReportError(error);
    return false;
  }
}

void GridModel::Announce() {
  if (cache_ == nullptr) return;
  const int known = cache_->KnownRows();
  if (known <= exposed_) return;
  beginInsertRows(QModelIndex(), exposed_, known - 1);
  exposed_ = known;
  endInsertRows();
}

void GridModel::ResetAll() {
  beginResetModel();
  if (cache_ != nullptr) cache_->Reset();
  learnFailed_ = false;
  aheadFailed_ = false;
  quiet_ = false;
  exposed_ = 0;
  insertRowShown_ = false;
  currentRow_ = -1;
  currentRecord_ = -1;
  orderVersion_ = table_ != nullptr ? table_->OrderVersion() : 0;
  columns_ = table_ != nullptr && table_->Active() ? table_->FieldCount() : 0;
  endResetModel();
  if (columns_ > 0) Sync(false);
}

void GridModel::Reload(bool learn) {
  if (!learn) {
    beginResetModel();
    if (cache_ != nullptr) cache_->Reset();
    learnFailed_ = true;
    quiet_ = true;
    exposed_ = 0;
    insertRowShown_ = false;
    currentRow_ = -1;
    currentRecord_ = -1;
    endResetModel();
    return;
  }
  ResetAll();
}

bool GridModel::LearningPending() const {
  // learnFailed_ also stands for a quiet grid, which learns again when reloaded.
  return cache_ != nullptr && table_ != nullptr && table_->Active() && !cache_->Complete() &&
         !aheadFailed_ && (!learnFailed_ || quiet_);
}

bool GridModel::CanLearnAhead() const {
  return LearningPending() && !quiet_ && !insertRowShown_ &&
         table_->State() == TDataSetState::dsBrowse;
}

bool GridModel::LearnAhead(int milliseconds) {
  if (!CanLearnAhead()) return false;
  QElapsedTimer clock;
  clock.start();
  try {
    while (!cache_->Complete() && clock.elapsed() < milliseconds) cache_->FetchMore(kChunk * 4);
  } catch (const std::exception&) {
    aheadFailed_ = true;
    return false;
  }
  return !cache_->Complete();
}

void GridModel::FetchAll() {
  Learn([this] { cache_->FetchAll(kChunk * 16); });
  Announce();
}

void GridModel::Reconcile(std::int32_t recordIndex) {
  if (recordIndex < 0) return;
  cache_->Forget(recordIndex);
  bool visible = false;
  try {
    visible = rows_->IsVisible(recordIndex);
  } catch (const std::exception& error) {
    ReportError(error);
  }
  const int row = cache_->RowOf(recordIndex);
  if (row >= 0 && !visible) {
    if (row < exposed_) {
      beginRemoveRows(QModelIndex(), row, row);
      cache_->Remove(recordIndex);
      --exposed_;
      endRemoveRows();
    } else {
      cache_->Remove(recordIndex);
    }
  } else if (row < 0 && visible) {
    const int added = cache_->Add(recordIndex);
    if (added >= 0 && added <= exposed_) {
      beginInsertRows(QModelIndex(), added, added);
      ++exposed_;
      endInsertRows();
    }
  } else if (row >= 0 && row < exposed_) {
    emit dataChanged(index(row, 0), index(row, columns_ - 1));
  }
}

void GridModel::SetCurrentRow(int row) {
  const int previous = currentRow_;
  currentRow_ = row;
  if (previous >= 0 && previous < rowCount())
    emit headerDataChanged(Qt::Vertical, previous, previous);
  if (row >= 0) {
    emit headerDataChanged(Qt::Vertical, row, row);
    emit dataChanged(index(row, 0), index(row, std::max(columns_ - 1, 0)));
  }
  emit CurrentRowChanged(row);
}

void GridModel::Sync(bool recordsChanged) {
  if (table_ == nullptr || !table_->Active()) {
    if (columns_ != 0 || exposed_ != 0) ResetAll();
    return;
  }
  if (columns_ != table_->FieldCount()) {
    ResetAll();
    return;
  }
  if (table_->OrderVersion() != orderVersion_ && !quiet_) {
    // A posted record moved in the cursor's order: every learned position may be stale.
    ResetAll();
    return;
  }
  const bool inserting = Inserting();
  if (insertRowShown_ && !inserting) {
    beginRemoveRows(QModelIndex(), exposed_, exposed_);
    insertRowShown_ = false;
    endRemoveRows();
  }
  std::int32_t record = -1;
  if (!inserting && !table_->IsEmpty()) record = table_->Bookmark();
  if (recordsChanged) {
    Reconcile(currentRecord_);
    if (record != currentRecord_) Reconcile(record);
    // The file may have grown (a posted insert, another program): learn from there later.
  }
  if (inserting && !insertRowShown_) {
    FetchAll();
    beginInsertRows(QModelIndex(), exposed_, exposed_);
    insertRowShown_ = true;
    endInsertRows();
  }
  int row = -1;
  if (inserting) {
    row = exposed_;
  } else if (record >= 0) {
    Learn([&] { row = cache_->EnsureRecord(record, kChunk); });
    Announce();
  }
  currentRecord_ = record;
  SetCurrentRow(row);
}

int GridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return exposed_ + (insertRowShown_ ? 1 : 0);
}

int GridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : columns_;
}

std::int32_t GridModel::RecordAt(int row) const {
  if (row < 0 || row >= exposed_) return -1;
  return cache_->RecordAt(row);
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || table_ == nullptr || index.column() >= columns_) return {};
  const int row = index.row();
  TField& field = table_->Fields(index.column());
  if (role == Qt::TextAlignmentRole) {
    switch (field.DataType()) {
      case TFieldType::ftSmallint:
      case TFieldType::ftInteger:
      case TFieldType::ftLargeint:
      case TFieldType::ftFloat:
      case TFieldType::ftCurrency:
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      default:
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    }
  }
  if (role == Qt::ForegroundRole) {
    // Deleted records shown through "Show deleted", and fields Tavlo reads but does not
    // write back, are grey.
    if (RowDeleted(row) || !table_->FieldWritable(field)) return QColor(Qt::gray);
    return {};
  }
  if (role == Qt::ToolTipRole) {
    // Fields of types Tavlo reads but does not write back say so instead of failing on post.
    if (!table_->FieldWritable(field))
      return QString("Read only: Tavlo does not write fields of type %1")
          .arg(QString::fromLatin1(FieldTypeName(field.DataType())));
    if (field.DataType() != TFieldType::ftMemo) return {};
    try {
      std::string text;
      if (row == currentRow_ && IsEditing(table_->State()))
        text = field.TextValue();
      else if (row < exposed_)
        text = rows_->FieldTextOf(cache_->RecordAt(row), field);
      if (text.empty()) return {};
      // A preview: the first 300 characters, marked when there is more.
      const bool more = text.size() > kMemoPreview;
      text.resize(std::min(text.size(), kMemoPreview));
      return FromAnsi(text) + (more ? QString::fromUtf8("\u2026") : QString());
    } catch (const std::exception&) {
      return {};
    }
  }
  const bool logical = field.DataType() == TFieldType::ftBoolean;
  if (role == Qt::CheckStateRole) {
    if (!logical) return {};
    const QVariant text = data(index, Qt::EditRole);
    if (!text.isValid() && row >= exposed_ && row != currentRow_) return {};
    return text.toString().startsWith('T', Qt::CaseInsensitive) ? Qt::Checked : Qt::Unchecked;
  }
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  // A logical cell is its check box; the words would only repeat it.
  if (logical && role == Qt::DisplayRole) return {};
  const bool pending = IsEditing(table_->State());
  try {
    if (row == currentRow_ && pending)
      return FromAnsi(role == Qt::EditRole ? field.TextValue() : field.DisplayText());
    if (row >= exposed_) return {};
    const std::vector<std::string>& texts = cache_->Texts(row);
    if (static_cast<std::size_t>(index.column()) >= texts.size()) return {};
    return FromAnsi(texts[static_cast<std::size_t>(index.column())]);
  } catch (const std::exception&) {
    // A record that cannot be read shows nothing; the cursor reports it when it gets there.
    return {};
  }
}

int GridModel::FieldLength(int column) const {
  if (table_ == nullptr || !table_->Active() || column < 0 || column >= columns_) return 0;
  const TField& field = table_->Fields(column);
  switch (field.DataType()) {
    case TFieldType::ftString:
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint:
    case TFieldType::ftFloat:
      return table_->DbfFile() != nullptr ? table_->DbfFile()->FieldInfo(field.FieldNo() - 1).length
                                          : 0;
    default:
      return 0;
  }
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  writeFailed_ = false;
  if (table_ == nullptr || !index.isValid()) return false;
  if (index.row() != currentRow_ && !(currentRow_ < 0 && table_->IsEmpty())) return false;
  TField& field = table_->Fields(index.column());
  std::string text;
  if (role == Qt::CheckStateRole && field.DataType() == TFieldType::ftBoolean) {
    text = value.toInt() == Qt::Checked ? "True" : "False";
  } else if (role == Qt::EditRole) {
    text = ToAnsi(value.toString());
  } else {
    return false;
  }
  if (field.DataType() == TFieldType::ftString &&
      static_cast<int>(text.size()) > FieldLength(index.column())) {
    // The file would keep only the first characters: say so rather than cut silently.
    writeFailed_ = true;
    ReportError(EDatabaseError("'" + text + "' is longer than the " +
                               std::to_string(FieldLength(index.column())) +
                               " characters of field '" + field.FieldName() + "'"));
    return false;
  }
  try {
    if (IsEditing(table_->State())) {
      if (field.TextValue() == text) return true;
    } else {
      if (!table_->IsEmpty() && field.TextValue() == text) return true;
      table_->Edit();
    }
    field.SetTextValue(text);
  } catch (const std::exception& error) {
    writeFailed_ = true;
    ReportError(error);
    return false;
  }
  if (currentRow_ >= 0)
    emit dataChanged(index.siblingAtColumn(0), index.siblingAtColumn(columns_ - 1));
  return true;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || table_ == nullptr)
    return QAbstractTableModel::headerData(section, orientation, role);
  if (orientation == Qt::Horizontal) {
    if (section < 0 || section >= columns_) return {};
    return FromAnsi(table_->Fields(section).FieldName());
  }
  const QString deleted = RowDeleted(section) ? QString::fromUtf8("\u2715") : QString();
  if (section != currentRow_) return deleted;
  switch (table_->State()) {
    case TDataSetState::dsInsert:
      return QString("*");
    case TDataSetState::dsEdit:
      return QString::fromUtf8("\u270E");
    default:
      return QString::fromUtf8("\u25B6") + deleted;
  }
}

int GridModel::FindRow(int fromRow, bool backward, const std::string& text, int column,
                       bool matchCase, bool wholeField) {
  if (table_ == nullptr || !table_->Active() || text.empty() || cache_ == nullptr) return -1;
  TFindRequest request;
  request.text = text;
  request.matchCase = matchCase;
  request.wholeField = wholeField;
  request.firstColumn = column < 0 ? 0 : column;
  request.lastColumn = column < 0 ? columns_ - 1 : column;
  TRecordFinder finder(*table_, request);
  int found = -1;
  Learn([&] { found = tavlo::FindRow(*cache_, finder, fromRow, backward, kChunk * 16); });
  Announce();
  return found;
}

bool GridModel::RowDeleted(int row) const {
  // Deleted records are shown only through ShowDeleted; otherwise no row needs the test.
  if (table_ == nullptr || !table_->Active() || !table_->ShowDeleted()) return false;
  if (row < 0 || row >= exposed_) return false;
  if (row == currentRow_ && table_->State() != TDataSetState::dsBrowse) return false;
  return rows_->IsDeleted(cache_->RecordAt(row));
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
  if (!index.isValid() || table_ == nullptr) return Qt::NoItemFlags;
  Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  TField& field = table_->Fields(index.column());
  const TFieldType type = field.DataType();
  if (table_->ReadOnly() || !table_->FieldWritable(field)) return result;
  // Memo texts are edited in the memo editor and logicals by their check box, not in a
  // one-line cell.
  if (type == TFieldType::ftBoolean) {
    result |= Qt::ItemIsUserCheckable;
  } else if (type != TFieldType::ftMemo) {
    result |= Qt::ItemIsEditable;
  }
  return result;
}

bool GridModel::canFetchMore(const QModelIndex& parent) const {
  if (parent.isValid() || cache_ == nullptr || learnFailed_) return false;
  return exposed_ < cache_->KnownRows() || !cache_->Complete();
}

void GridModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid() || cache_ == nullptr) return;
  // The insert row stays last: learning while it is shown would put rows after it.
  if (insertRowShown_) return;
  if (exposed_ >= cache_->KnownRows()) Learn([this] { cache_->FetchMore(kChunk); });
  Announce();
}

}  // namespace tavlo
