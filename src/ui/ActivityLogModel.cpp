#include "ui/ActivityLogModel.h"

#include <algorithm>

#include "ui/UiStrings.h"

namespace tarnwick::ui {

CActivityLogModel::CActivityLogModel(QObject* parent) : QAbstractTableModel(parent) {
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(kFlushInterval);
  connect(&flushTimer_, &QTimer::timeout, this, &CActivityLogModel::Flush);
}

void CActivityLogModel::Apply(std::vector<LogChange>&& changes) {
  if (pending_.empty()) {
    pending_ = std::move(changes);
  } else {
    pending_.insert(pending_.end(), std::make_move_iterator(changes.begin()), std::make_move_iterator(changes.end()));
  }
  if (!flushTimer_.isActive()) flushTimer_.start();
}

void CActivityLogModel::Flush() {
  flushTimer_.stop();
  std::vector<LogChange> changes;
  changes.swap(pending_);
  std::size_t i = 0;
  while (i < changes.size()) {
    LogChange& change = changes[i];
    if (change.kind != LogChange::Kind::Inserted) {
      beginResetModel();
      rows_ = std::move(change.rows);  // empty for Cleared
      endResetModel();
      ++i;
      continue;
    }
    // Appends land one after the other: a run of them is one insertion for the views.
    std::size_t end = i + 1;
    while (end < changes.size() && changes[end].kind == LogChange::Kind::Inserted &&
           changes[end].position == changes[end - 1].position + 1) {
      ++end;
    }
    std::vector<LogRow> run;
    run.reserve(end - i);
    for (std::size_t k = i; k < end; ++k) run.push_back(std::move(changes[k].row));
    const std::size_t at = std::min(change.position, rows_.size());
    const int first = static_cast<int>(at);
    beginInsertRows({}, first, first + static_cast<int>(run.size()) - 1);
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(run.begin()),
                 std::make_move_iterator(run.end()));
    endInsertRows();
    i = end;
  }
}

int CActivityLogModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CActivityLogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant CActivityLogModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  return QString::fromStdString(rows_[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())]);
}

QVariant CActivityLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static constexpr unsigned kTitles[] = {IDS_COL_TIMESTAMP, IDS_COL_ACTION, IDS_COL_DESCRIPTION};
  return section >= 0 && section < 3 ? UiString(kTitles[section]) : QVariant();
}

}  // namespace tarnwick::ui
