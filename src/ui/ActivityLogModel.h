// The Activity Log list's model: the window's copy of the log's rows. Changes arrive in batches
// from CActivityLogAdapter and are applied together every kFlushInterval, so a job that writes
// thousands of rows a second costs the window a few insertions a second. A turn of the event loop
// applies at most kRowsPerTurn of them and leaves the rest to the next turns, so even a burst of a
// hundred thousand rows never holds the window up; every row is shown, in order.
#pragma once

#include <QAbstractTableModel>
#include <QTimer>
#include <vector>

#include "ui/ActivityLogAdapter.h"

namespace tarnwick::ui {

class CActivityLogModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kFlushInterval = 50;  // ms
  static constexpr std::size_t kRowsPerTurn = 10000;

  explicit CActivityLogModel(QObject* parent = nullptr);

  // Takes changes made on the log, in order; they show at the next flush.
  void Apply(std::vector<LogChange>&& changes);
  // Applies every change taken so far, at once.
  void Flush();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  static constexpr int kColumnWidths[] = {200, 200, 400};

 private:
  // Applies pending changes in order until about `rowBudget` rows have been inserted or replaced.
  void ApplyPending(std::size_t rowBudget);
  void OnFlushTimer();

  std::vector<LogRow> rows_;
  std::vector<LogChange> pending_;  // taken changes; those before next_ are applied
  std::size_t next_ = 0;
  QTimer flushTimer_;
};

}  // namespace tarnwick::ui
