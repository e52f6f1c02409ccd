// GridModel: the Qt model of the data grid, a thin adapter over RowCache and the table
// cursor. It follows the cursor through a data link (the current row is the cursor's record,
// shown with the cursor's pending values while editing or inserting) and learns rows lazily
// as the view scrolls. A new record being inserted is shown as an extra last row, where it
// will be stored. It never moves the cursor; TDBGrid does that.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <memory>

#include "query/rowcache.h"
#include "query/tablerowsource.h"
#include "app/data/datasource.h"
#include "dbf/tdbf.h"

namespace tavlo {

class GridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kChunk = 256;
  static constexpr std::size_t kMemoPreview = 300;  // characters of a memo's tooltip

  explicit GridModel(QObject* parent = nullptr);
  ~GridModel() noexcept override;

  // The grid shows the table of source (a TDbf); nullptr shows nothing.
  void SetDataSource(TDataSource* source);
  TDbf* Table() const { return table_; }
  TDataSource* Source() const { return source_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

  // The row of the cursor's record (the insert row while inserting), or -1.
  int CurrentRow() const { return currentRow_; }
  // The record index shown in row, or -1 for the insert row or a row out of range.
  std::int32_t RecordAt(int row) const;
  // Learns every visible record (what "Last" needs to show the last row).
  void FetchAll();
  // Forgets what is known and learns again (filter switched, data refreshed); with learn
  // false the grid stays empty until the next Reload.
  void Reload(bool learn = true);
  const RowCache& Cache() const { return *cache_; }
  // Learns rows beyond those shown for about `milliseconds`, without showing them, so that
  // how many rows a filter lets through becomes known without going to the end. False when
  // there is nothing to learn now: all known, learning failed (the grid meets the failure
  // when it gets there), the grid quiet, or a record being inserted.
  bool LearnAhead(int milliseconds);
  bool CanLearnAhead() const;
  // Rows remain to be learned and learning has not failed (it may be paused).
  bool LearningPending() const;
  // How many characters a cell of column may hold when typed: the length of a character or
  // number field, 0 for types whose text is not stored as typed (dates, logicals, memos).
  int FieldLength(int column) const;
  // The first row after fromRow (before it when backward) in the grid's order whose display
  // text in column (every column when column is -1) matches text: a part of it, or all of it
  // with wholeField; without matchCase letters compare folded. -1 when there is none; the
  // search learns rows as it goes and never wraps.
  int FindRow(int fromRow, bool backward, const std::string& text, int column, bool matchCase,
              bool wholeField);
  // The record in row is deleted (shown through the cursor's ShowDeleted).
  bool RowDeleted(int row) const;
  // Whether the last write through setData was refused (the message has been shown).
  bool WriteFailed() const { return writeFailed_; }
  // Called when the cursor asks its controls to store their pending edits (before a post).
  std::function<void()> OnUpdateData;

 signals:
  // The cursor's record is now shown in row (-1: none).
  void CurrentRowChanged(int row);

 private:
  class Link;
  friend class Link;
  void Sync(bool recordsChanged);
  bool Inserting() const;
  void ReportError(const std::exception& error) const;
  // Runs a learning step; a failing filter stops learning until Reload.
  bool Learn(const std::function<void()>& step) const;
  void ResetAll();
  // Makes the rows the cache has learned known to the view.
  void Announce();
  void Reconcile(std::int32_t recordIndex);
  void SetCurrentRow(int row);

  std::unique_ptr<Link> link_;
  TDataSource* source_ = nullptr;
  TDbf* table_ = nullptr;
  std::unique_ptr<TableRowSource> rows_;
  std::unique_ptr<RowCache> cache_;
  mutable bool learnFailed_ = false;
  bool insertRowShown_ = false;
  int currentRow_ = -1;
  std::int32_t currentRecord_ = -1;
  int columns_ = 0;
  int exposed_ = 0;                 // learned rows the view has been told about
  std::uint64_t orderVersion_ = 0;  // the cursor's order the learned rows were placed in
  bool quiet_ = false;              // Reload(false): nothing is learned until the next Reload
  bool writeFailed_ = false;
  bool aheadFailed_ = false;  // LearnAhead met a failure; left for the grid to report
};

}  // namespace tavlo
