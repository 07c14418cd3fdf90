#include "ui/ActivityLogModel.h"

#include <algorithm>
#include <cstdint>

#include "ui/UiStrings.h"

namespace tarnwick::ui {

CActivityLogModel::CActivityLogModel(QObject* parent) : QAbstractTableModel(parent) {
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(kFlushInterval);
  connect(&flushTimer_, &QTimer::timeout, this, &CActivityLogModel::OnFlushTimer);
}

void CActivityLogModel::Apply(std::vector<LogChange>&& changes) {
  if (pending_.empty()) {
    pending_ = std::move(changes);
  } else {
    pending_.insert(pending_.end(), std::make_move_iterator(changes.begin()), std::make_move_iterator(changes.end()));
  }
  if (!flushTimer_.isActive()) flushTimer_.start(kFlushInterval);
}

void CActivityLogModel::Flush() {
  flushTimer_.stop();
  ApplyPending(SIZE_MAX);
}

void CActivityLogModel::OnFlushTimer() {
  ApplyPending(kRowsPerTurn);
  // What is left goes on at the next turn, after the events waiting now (input, painting).
  if (next_ < pending_.size()) flushTimer_.start(0);
}

void CActivityLogModel::ApplyPending(std::size_t rowBudget) {
  std::size_t applied = 0;
  while (next_ < pending_.size() && applied < rowBudget) {
    LogChange& change = pending_[next_];
    if (change.kind != LogChange::Kind::Inserted) {
      applied += change.rows.size() + 1;
      beginResetModel();
      rows_ = std::move(change.rows);  // empty for Cleared
      endResetModel();
      ++next_;
      continue;
    }
    // Appends land one after the other: a run of them is one insertion for the views.
    std::size_t end = next_ + 1;
    while (end < pending_.size() && applied + (end - next_) < rowBudget &&
           pending_[end].kind == LogChange::Kind::Inserted &&
           pending_[end].position == pending_[end - 1].position + 1) {
      ++end;
    }
    std::vector<LogRow> run;
    run.reserve(end - next_);
    for (std::size_t k = next_; k < end; ++k) run.push_back(std::move(pending_[k].row));
    const std::size_t at = std::min(change.position, rows_.size());
    const int first = static_cast<int>(at);
    beginInsertRows({}, first, first + static_cast<int>(run.size()) - 1);
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(run.begin()),
                 std::make_move_iterator(run.end()));
    endInsertRows();
    applied += run.size();
    next_ = end;
  }
  // Applied changes are dropped once all are, or once they are most of what is held.
  if (next_ == pending_.size()) {
    pending_.clear();
    next_ = 0;
  } else if (next_ > pending_.size() / 2) {
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(next_));
    next_ = 0;
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
