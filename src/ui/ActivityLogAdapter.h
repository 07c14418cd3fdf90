// The window's listener on the activity log. Rows come from the backup worker as fast as it copies
// files, so the calls are gathered: each one is queued as a value, and the first of a batch posts
// one call to the window's thread that hands the whole batch over.
#pragma once

#include <QObject>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

#include "log/ActivityLog.h"

namespace tarnwick::ui {

// One change of the log as the window applies it.
struct LogChange {
  enum class Kind { Inserted, Cleared, Replaced };
  Kind kind = Kind::Inserted;
  std::size_t position = 0;  // Inserted
  LogRow row;                // Inserted
  std::vector<LogRow> rows;  // Replaced: every row of the log
};

class CActivityLogAdapter : public QObject, public ActivityLogListener {
  Q_OBJECT
 public:
  using Sink = std::function<void(std::vector<LogChange>&&)>;

  // `sink` runs on this object's thread with the changes in the order the log made them.
  CActivityLogAdapter(CActivityLog& log, Sink sink, QObject* parent = nullptr);
  // Stops listening; changes not handed over yet are dropped.
  ~CActivityLogAdapter() override;

  // Starts listening and hands over the rows the log holds now (as one Replaced change). Call it
  // while no other thread writes the log (before the first job starts).
  void Attach();

  void OnRowInserted(std::size_t position, const LogRow& row) override;
  void OnCleared() override;
  void OnRowsLoaded(std::size_t first, std::size_t count) override;

 private:
  void Queue(LogChange&& change);  // with mutex_ held
  void HandOver();

  CActivityLog& log_;
  Sink sink_;
  bool attached_ = false;
  std::mutex mutex_;  // guards everything below
  std::vector<LogChange> pending_;
  std::size_t deliveredSize_ = 0;  // the log's size after the changes told so far
  std::size_t alreadyShown_ = 0;   // insertions already contained in the last Replaced change
};

}  // namespace tarnwick::ui
