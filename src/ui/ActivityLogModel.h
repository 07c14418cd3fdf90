// The Activity Log list's model: the window's copy of the log's rows. Changes arrive in batches
// from CActivityLogAdapter and are applied together every kFlushInterval, so a job that writes
// thousands of rows a second costs the window a few insertions a second.
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

  explicit CActivityLogModel(QObject* parent = nullptr);

  // Takes changes made on the log, in order; they show at the next flush.
  void Apply(std::vector<LogChange>&& changes);
  // Applies every change taken so far.
  void Flush();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  static constexpr int kColumnWidths[] = {200, 200, 400};

 private:
  void ApplyInsertRun(std::size_t first, std::size_t end);

  std::vector<LogRow> rows_;
  std::vector<LogChange> pending_;
  QTimer flushTimer_;
};

}  // namespace tarnwick::ui
