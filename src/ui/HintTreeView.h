// A list that says, in its own area, how to fill it while it has no rows: the first start's empty
// profile lists name the command that makes a profile.
#pragma once

#include <QString>
#include <QTreeView>

class QAction;

namespace tarnwick::ui {

class CHintTreeView : public QTreeView {
 public:
  explicit CHintTreeView(QWidget* parent = nullptr) : QTreeView(parent) {}

  // The text painted in the middle of the list while its model has no rows; empty paints none.
  void SetEmptyHint(const QString& hint);
  const QString& EmptyHint() const { return hint_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString hint_;
};

// Where command `id` is in the main menu, with the key `action` has now: "Backup → Quick
// Backup... (Ctrl+Q)", without the key when it has none.
QString MenuPathOf(unsigned id, const QAction& action);

// Sets `list`'s hint to the text `textId` with the menu path of command `id`, and keeps it so when
// the command's key is changed (Customize).
void HintAtCommand(CHintTreeView& list, unsigned textId, unsigned id, QAction& action);

}  // namespace tarnwick::ui
