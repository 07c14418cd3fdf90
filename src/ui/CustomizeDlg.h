// "Customize": which toolbar buttons are shown, and the keys of the commands. Applied to the frame
// on OK and kept with the window's state.
#pragma once

#include <QDialog>
#include <QHash>

class QKeySequenceEdit;
class QListWidget;

namespace tarnwick::ui {

class CMainFrame;

class CCustomizeDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CCustomizeDlg(CMainFrame& frame, QWidget* parent = nullptr);

  QListWidget* ButtonList() const { return buttons_; }
  QKeySequenceEdit* KeyEditor(unsigned id) const { return keys_.value(id, nullptr); }

  void accept() override;

 private:
  void Fill();

  CMainFrame& frame_;
  QListWidget* buttons_;
  QHash<unsigned, QKeySequenceEdit*> keys_;
};

}  // namespace tarnwick::ui
