#include "ui/ProfileDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/StringTable.h"
#include "engine/BackupController.h"
#include "engine/FtpJobConnection.h"
#include "profiles/ProfileCatalogue.h"
#include "ui/EditorTexts.h"
#include "ui/HelpWindow.h"
#include "ui/ScheduleSettingsDlg.h"
#include "ui/SourceTreeDlg.h"
#include "ui/TabOrder.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

constexpr unsigned kLevelTexts[] = {IDS_LEVEL_STORE,  IDS_LEVEL_FASTEST, IDS_LEVEL_FAST,
                                    IDS_LEVEL_NORMAL, IDS_LEVEL_GOOD,    IDS_LEVEL_BEST};
static_assert(std::size(kLevelTexts) == std::size(kZipLevels));

QString Core(unsigned id) { return QString::fromUtf8(LoadString(id)); }

QPushButton* Button(unsigned id, QWidget* parent) { return new QPushButton(UiString(id), parent); }

// The profile has somewhere to go (the same rule as the check before a run).
bool HasDestination(const Profile& profile) {
  return profile.destIsLocal ? !profile.localDestFolder.empty() : !profile.ftpDest.host.empty();
}

}  // namespace

Profile CProfileDlg::NewProfile(std::time_t now) {
  Profile profile;
  ResetSchedule(profile.schedule, now);
  profile.verifyAfterBackup = true;  // a backup nobody checked is a hope, not a backup
  return profile;
}

CProfileDlg::CProfileDlg(EditorServices& services, bool scheduled, Profile profile, QWidget* parent)
    : QDialog(parent),
      services_(services),
      profile_(std::move(profile)),
      scheduled_(scheduled),
      destination_(new QLineEdit(this)),
      saveThis_(new QCheckBox(UiString(IDS_PROFILE_SAVE_THIS), this)),
      name_(new QLineEdit(this)),
      compress_(new QCheckBox(UiString(IDS_PROFILE_COMPRESS), this)),
      archive_(new QLineEdit(this)),
      level_(new QComboBox(this)),
      verify_(new QCheckBox(UiString(IDS_PROFILE_VERIFY), this)),
      readBack_(new QCheckBox(UiString(IDS_PROFILE_VERIFY_READ_BACK), this)),
      mode_(new QPushButton(this)),
      schedule_(Button(IDS_PROFILE_SCHEDULE_SETTINGS, this)),
      nextRun_(new QLabel(this)),
      scheduleRow_(new QWidget(this)),
      run_(new QPushButton(this)) {
  destination_->setReadOnly(true);
  auto* sourceHint = new QLabel(UiString(IDS_PROFILE_SOURCE_HINT), this);
  auto* destHint = new QLabel(UiString(IDS_PROFILE_DEST_HINT), this);
  for (QLabel* hint : {sourceHint, destHint}) hint->setWordWrap(true);
  auto* source = Button(IDS_PROFILE_SOURCE_BUTTON, this);
  auto* summary = Button(IDS_PROFILE_SUMMARY_BUTTON, this);
  auto* backupTo = Button(IDS_PROFILE_BACKUP_TO, this);
  for (std::size_t i = 0; i < std::size(kLevelTexts); ++i) level_->addItem(Core(kLevelTexts[i]), kZipLevels[i]);

  auto* group = new QGroupBox(UiString(IDS_PROFILE_SETTINGS_GROUP), this);
  auto* grid = new QGridLayout(group);
  grid->addWidget(sourceHint, 0, 0, 1, 4);
  auto* sourceButtons = new QHBoxLayout;
  sourceButtons->addWidget(source);
  sourceButtons->addWidget(summary);
  sourceButtons->addStretch(1);
  grid->addLayout(sourceButtons, 1, 0, 1, 4);
  grid->addWidget(destHint, 2, 0, 1, 4);
  grid->addWidget(backupTo, 3, 0);
  grid->addWidget(destination_, 3, 1, 1, 3);
  grid->addWidget(saveThis_, 4, 0);
  grid->addWidget(name_, 4, 1, 1, 2);
  grid->addWidget(new QLabel(UiString(IDS_PROFILE_NAME_EXAMPLE), this), 4, 3);
  grid->addWidget(compress_, 5, 0);
  grid->addWidget(archive_, 5, 1, 1, 2);
  grid->addWidget(level_, 5, 3);
  grid->addWidget(verify_, 6, 0, 1, 4);
  grid->addWidget(readBack_, 7, 0, 1, 4);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);

  auto* scheduleLayout = new QHBoxLayout(scheduleRow_);
  scheduleLayout->setContentsMargins(0, 0, 0, 0);
  scheduleLayout->addWidget(schedule_);
  scheduleLayout->addWidget(nextRun_, 1);

  auto* help = Button(IDS_PROFILE_HELP, this);
  auto* saveProfile = Button(IDS_PROFILE_SAVE_PROFILE, this);
  auto* cancel = Button(IDS_PROFILE_CANCEL, this);
  run_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(mode_);
  buttons->addStretch(1);
  for (QPushButton* button : {help, saveProfile, run_, cancel}) buttons->addWidget(button);

  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // the window grows and shrinks with the mode
  layout->addWidget(group);
  layout->addWidget(scheduleRow_);
  layout->addLayout(buttons);
  group->setMinimumWidth(520);

  SetTabOrder({source, summary, backupTo, destination_, saveThis_, name_, compress_, archive_, level_, verify_,
               readBack_, schedule_, mode_, help, saveProfile, run_, cancel});
  connect(source, &QPushButton::clicked, this, &CProfileDlg::OnSource);
  connect(summary, &QPushButton::clicked, this, &CProfileDlg::OnSummary);
  connect(backupTo, &QPushButton::clicked, this, &CProfileDlg::OnBackupTo);
  connect(mode_, &QPushButton::clicked, this, &CProfileDlg::OnModeSwitch);
  connect(schedule_, &QPushButton::clicked, this, &CProfileDlg::OnScheduleSettings);
  connect(help, &QPushButton::clicked, this, &CProfileDlg::OnHelp);
  connect(saveProfile, &QPushButton::clicked, this, &CProfileDlg::OnSaveProfile);
  connect(run_, &QPushButton::clicked, this, &CProfileDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CProfileDlg::reject);
  connect(compress_, &QCheckBox::toggled, this, &CProfileDlg::UpdateDestination);
  connect(verify_, &QCheckBox::toggled, readBack_, &QCheckBox::setEnabled);
  connect(archive_, &QLineEdit::textEdited, this, &CProfileDlg::UpdateDestination);

  name_->setText(QString::fromStdString(profile_.name));
  saveThis_->setChecked(true);
  compress_->setChecked(profile_.compress);
  archive_->setText(QString::fromStdString(profile_.zipFileName));
  level_->setCurrentIndex(ZipLevelIndex(profile_.zipLevel));
  verify_->setChecked(profile_.verifyAfterBackup);
  readBack_->setChecked(profile_.verifyByReadingBack);
  readBack_->setEnabled(profile_.verifyAfterBackup);
  if (HasDestination(profile_)) destSummary_ = DestinationText(profile_, services_.clock.Now());
  UpdateDestination();
  ApplyMode();
}

void CProfileDlg::ApplyMode() {
  setWindowTitle(Core(scheduled_ ? IDS_TITLE_SCHEDULED_BACKUP : IDS_TITLE_QUICK_BACKUP));
  mode_->setText(Core(scheduled_ ? IDS_BUTTON_QUICK_MODE : IDS_BUTTON_SCHEDULED_MODE));
  run_->setText(Core(scheduled_ ? IDS_BUTTON_PERFORM : IDS_BUTTON_BACKUP_NOW));
  // A scheduled profile is kept for its schedule: without one it has nothing to perform.
  run_->setEnabled(!scheduled_ || profile_.schedule.enabled);
  saveThis_->setEnabled(!scheduled_);
  scheduleRow_->setVisible(scheduled_);
  UpdateNextRun();
}

void CProfileDlg::UpdateNextRun() {
  ScheduleRecord schedule = profile_.schedule;
  nextRun_->setText(schedule.enabled ? QString::fromStdString(FormatString(
                                           IDS_NEXT_BACKUP_TIME,
                                           FormatNextRun(schedule, /*longForm=*/false, services_.clock.Now()).c_str()))
                                     : Core(IDS_SCHEDULE_DISABLED));
}

void CProfileDlg::UpdateDestination() {
  const char separator = profile_.destIsLocal ? kLocalPathSeparator : '/';
  destination_->setText(QString::fromStdString(
      DestinationLine(destSummary_, compress_->isChecked(), archive_->text().toStdString(), separator)));
}

void CProfileDlg::TakeFields() {
  profile_.name = name_->text().toStdString();
  profile_.isScheduled = scheduled_;
  profile_.compress = compress_->isChecked();
  profile_.zipFileName = archive_->text().toStdString();
  profile_.zipLevel = level_->currentData().toInt();
  profile_.verifyAfterBackup = verify_->isChecked();
  profile_.verifyByReadingBack = readBack_->isChecked();
}

const Profile& CProfileDlg::CurrentProfile() {
  TakeFields();
  return profile_;
}

void CProfileDlg::OnSource() {
  CBackupSourceDlg dialog(profile_, sourceState_, services_, this);
  dialog.exec();
}

void CProfileDlg::OnSummary() {
  CSourceTreeDlg dialog(CurrentProfile(), this);
  dialog.exec();
}

void CProfileDlg::OnBackupTo() {
  CBackupDestDlg dialog(profile_, destinationChoices_, services_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  profile_.hasDestination = true;
  // The clock and the date format of the job itself, so the line shows the folder a run today makes.
  destSummary_ = DestinationText(profile_, services_.clock.Now());
  UpdateDestination();
}

void CProfileDlg::OnModeSwitch() {
  scheduled_ = !scheduled_;
  ApplyMode();
}

void CProfileDlg::OnScheduleSettings() {
  CScheduleSettingsDlg dialog(profile_.schedule, services_.prompts, this);
  if (dialog.exec() != QDialog::Accepted) return;
  dialog.WriteBack(profile_.schedule);
  ApplyMode();
}

void CProfileDlg::OnHelp() {
  if (services_.showHelp) services_.showHelp(kHelpBasicSettings);
}

void CProfileDlg::ShowSaveProblem(const Status& status) {
  services_.prompts.ShowMessage(status.ToString());
  if (status.code() == StatusCode::InvalidArgument) name_->setFocus();
}

void CProfileDlg::OnSaveProfile() {
  TakeFields();
  const Status saved = services_.catalogue.SaveProfile(profile_);
  if (saved.ok()) {
    services_.prompts.ShowMessage(LoadString(IDS_PROFILE_SAVED_OK));
  } else {
    ShowSaveProblem(saved);
  }
}

void CProfileDlg::accept() {
  TakeFields();
  // The core's check of a profile, in the editor's order: source and destination first (without
  // the archive), then the name, then the archive.
  Profile withoutArchive = profile_;
  withoutArchive.compress = false;
  if (const Status problem = ProfileProblem(withoutArchive); !problem.ok()) {
    services_.prompts.ShowMessage(problem.ToString());
    return;
  }
  const bool save = saveThis_->isChecked() || scheduled_;
  if (save && profile_.name.empty()) {
    services_.prompts.ShowMessage(LoadString(IDS_ENTER_PROFILE_NAME));
    name_->setFocus();
    return;
  }
  if (const Status problem = ProfileProblem(profile_); !problem.ok()) {
    services_.prompts.ShowMessage(problem.ToString());
    archive_->setFocus();
    return;
  }
  // One backup at a time: the editor stays, so the profile can still be switched to scheduled mode.
  if (!scheduled_ && services_.controller.IsBusy()) {
    services_.prompts.ShowMessage(LoadString(IDS_ANOTHER_JOB_RUNNING));
    return;
  }
  // A key's passphrase is asked before anything is saved or run: a quick run needs it now, and the
  // runs of a scheduled profile in this window find it later (they are never asked themselves).
  if (!UnlockProfileKeys(profile_, services_.prompts) && !scheduled_) return;
  if (save) {
    const Status saved = services_.catalogue.SaveProfileAs(profile_, scheduled_);
    // No to the overwrite question: nothing written, nothing run, the editor stays.
    if (saved.code() == StatusCode::Stopped) return;
    if (saved.code() == StatusCode::InvalidArgument) {
      ShowSaveProblem(saved);
      return;
    }
    // A write that failed is told; the run goes ahead with the profile as it is.
    if (!saved.ok()) services_.prompts.ShowMessage(saved.ToString());
  }
  if (!scheduled_) services_.controller.RunNow(profile_);
  QDialog::accept();
}

}  // namespace tarnwick::ui
