// The profile editor: one profile's sources, destination, archive and (in scheduled mode) schedule,
// saved through the catalogue and run through the controller. Quick mode ends with "Backup &Now"
// (save when asked, then run); scheduled mode with "Per&form" (save only). Cancel leaves every
// stored file as it was.
#pragma once

#include <QDialog>
#include <string>

#include "profiles/Profile.h"
#include "ui/BackupDestDlg.h"
#include "ui/BackupSourceDlg.h"
#include "ui/EditorServices.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnwick::ui {

class CProfileDlg : public QDialog {
  Q_OBJECT
 public:
  // A fresh profile: no sources, an empty local destination, the schedule's defaults at `now`.
  static Profile NewProfile(std::time_t now);

  // `profile` is the one to edit (NewProfile, or read from its file).
  CProfileDlg(EditorServices& services, bool scheduled, Profile profile, QWidget* parent = nullptr);

  // The buttons' commands.
  void OnSource();
  void OnSummary();
  void OnBackupTo();
  void OnModeSwitch();
  void OnScheduleSettings();
  void OnSaveProfile();
  void OnHelp();
  // "Backup &Now" / "Per&form": the checks in order, the save, and in quick mode the run.
  void accept() override;

  bool Scheduled() const { return scheduled_; }
  // The profile as the dialog holds it, with the name and archive fields taken in.
  const Profile& CurrentProfile();
  const SourceListState& SourceState() const { return sourceState_; }

  QLineEdit* DestinationField() const { return destination_; }
  QCheckBox* SaveThisBox() const { return saveThis_; }
  QLineEdit* NameEdit() const { return name_; }
  QCheckBox* CompressBox() const { return compress_; }
  QLineEdit* ArchiveEdit() const { return archive_; }
  QComboBox* LevelCombo() const { return level_; }
  QCheckBox* VerifyBox() const { return verify_; }
  QCheckBox* ReadBackBox() const { return readBack_; }
  QPushButton* ModeButton() const { return mode_; }
  QPushButton* ScheduleButton() const { return schedule_; }
  QLabel* NextRunLabel() const { return nextRun_; }
  QPushButton* RunButton() const { return run_; }

 private:
  void ApplyMode();
  // The destination line from the summary and the archive fields.
  void UpdateDestination();
  void UpdateNextRun();
  void TakeFields();
  // Shows `status` (a refused or failed save); a refused name puts the focus on the name field.
  void ShowSaveProblem(const Status& status);

  EditorServices& services_;
  Profile profile_;
  bool scheduled_;
  SourceListState sourceState_;
  DestinationChoices destinationChoices_;
  std::string destSummary_;
  QLineEdit* destination_;
  QCheckBox* saveThis_;
  QLineEdit* name_;
  QCheckBox* compress_;
  QLineEdit* archive_;
  QComboBox* level_;
  QCheckBox* verify_;
  QCheckBox* readBack_;  // enabled only while verify_ is checked
  QPushButton* mode_;
  QPushButton* schedule_;
  QLabel* nextRun_;
  QWidget* scheduleRow_;
  QPushButton* run_;
};

}  // namespace tarnwick::ui
