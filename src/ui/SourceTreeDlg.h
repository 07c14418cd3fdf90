// "Source Files/Folders List": the summary tree of a profile's sources. The tree is gathered on a
// thread of its own (a large folder takes a while), shown when it is complete; closing the dialog
// first ends the gathering.
#pragma once

#include <QDialog>
#include <atomic>
#include <cstddef>
#include <thread>

#include "profiles/Profile.h"

class QTreeWidget;

namespace tarnwick::ui {

struct SourceTree;

class CSourceTreeDlg : public QDialog {
  Q_OBJECT
 public:
  // The most nodes a tree shows; a larger one ends with a line that says it was cut.
  static constexpr std::size_t kMaxNodes = 100000;

  explicit CSourceTreeDlg(const Profile& profile, QWidget* parent = nullptr, std::size_t maxNodes = kMaxNodes);
  ~CSourceTreeDlg() override;

  QTreeWidget* Tree() const { return tree_; }
  // Whether the gathered tree is shown.
  bool Ready() const { return ready_; }

 private:
  void Show(const SourceTree& tree);

  QTreeWidget* tree_;
  const std::size_t maxNodes_;
  bool ready_ = false;
  std::atomic<bool> stop_{false};
  std::thread gatherer_;  // last: it starts once everything above is ready
};

}  // namespace tarnwick::ui
