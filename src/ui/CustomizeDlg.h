// "Customize": which toolbar buttons are shown, and the keys of the commands. Applied to the frame
// on OK and kept with the window's state; "Reset All" shows the program's defaults in the dialog,
// for OK to apply or Cancel to drop.
#pragma once

#include <QDialog>
#include <QHash>

class QKeySequenceEdit;
class QListWidget;
class QPushButton;

namespace tarnwick::ui {

class CMainFrame;

class CCustomizeDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CCustomizeDlg(CMainFrame& frame, QWidget* parent = nullptr);

  QListWidget* ButtonList() const { return buttons_; }
  QKeySequenceEdit* KeyEditor(unsigned id) const { return keys_.value(id, nullptr); }
  QPushButton* ResetButton() const { return reset_; }

  void accept() override;

 private:
  enum class Source { Frame, Defaults };
  // Shows the frame's buttons and keys, or the program's defaults.
  void Fill(Source source);

  CMainFrame& frame_;
  QListWidget* buttons_;
  QPushButton* reset_ = nullptr;
  QHash<unsigned, QKeySequenceEdit*> keys_;
};

}  // namespace tarnwick::ui
