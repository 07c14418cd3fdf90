// "Options": one page, "General", with the splash, missed-run and tray settings of config.xml.
#pragma once

#include <QDialog>

#include "app/UserPrompts.h"

class QCheckBox;

namespace tarnwick::ui {

class COptionsDlg : public QDialog {
  Q_OBJECT
 public:
  // Shows what config.xml in the current folder holds (the defaults when it cannot be read).
  explicit COptionsDlg(UserPrompts& prompts, QWidget* parent = nullptr);

  QCheckBox* ShowSplashBox() const { return showSplash_; }
  QCheckBox* RunMissedBox() const { return runMissed_; }
  QCheckBox* KeepInTrayBox() const { return keepInTray_; }

  // Writes config.xml; a failure is told through the prompts (file and reason). Closes either way.
  void accept() override;

 private:
  UserPrompts& prompts_;
  QCheckBox* showSplash_;
  QCheckBox* runMissed_;
  QCheckBox* keepInTray_;
};

}  // namespace tarnwick::ui
