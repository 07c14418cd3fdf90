#include "ui/ActivityLogAdapter.h"

namespace tarnwick::ui {

CActivityLogAdapter::CActivityLogAdapter(CActivityLog& log, Sink sink, QObject* parent)
    : QObject(parent), log_(log), sink_(std::move(sink)) {}

CActivityLogAdapter::~CActivityLogAdapter() {
  if (attached_) log_.RemoveListener(this);
}

void CActivityLogAdapter::Attach() {
  log_.AddListener(this);
  attached_ = true;
  std::lock_guard lock(mutex_);
  LogChange change;
  change.kind = LogChange::Kind::Replaced;
  change.rows = log_.Rows();
  deliveredSize_ = change.rows.size();
  Queue(std::move(change));
}

void CActivityLogAdapter::Queue(LogChange&& change) {
  const bool first = pending_.empty();
  pending_.push_back(std::move(change));
  if (first) QMetaObject::invokeMethod(this, &CActivityLogAdapter::HandOver, Qt::QueuedConnection);
}

void CActivityLogAdapter::HandOver() {
  std::vector<LogChange> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(pending_);
  }
  if (!batch.empty()) sink_(std::move(batch));
}

void CActivityLogAdapter::OnRowInserted(std::size_t position, const LogRow& row) {
  std::lock_guard lock(mutex_);
  ++deliveredSize_;
  if (alreadyShown_ > 0) {
    --alreadyShown_;
    return;
  }
  LogChange change;
  change.position = position;
  change.row = row;
  Queue(std::move(change));
}

void CActivityLogAdapter::OnCleared() {
  std::lock_guard lock(mutex_);
  deliveredSize_ = 0;
  alreadyShown_ = 0;
  LogChange change;
  change.kind = LogChange::Kind::Cleared;
  Queue(std::move(change));
}

void CActivityLogAdapter::OnRowsLoaded(std::size_t, std::size_t count) {
  // The loaded rows are taken from the log as it is now. A worker may have appended rows after the
  // load whose calls are still to come: they are in this copy already, so that many calls are
  // skipped.
  LogChange change;
  change.kind = LogChange::Kind::Replaced;
  change.rows = log_.Rows();
  std::lock_guard lock(mutex_);
  deliveredSize_ += count;
  alreadyShown_ = change.rows.size() > deliveredSize_ ? change.rows.size() - deliveredSize_ : 0;
  deliveredSize_ = change.rows.size();
  Queue(std::move(change));
}

}  // namespace tarnwick::ui
