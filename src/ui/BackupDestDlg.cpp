#include "ui/BackupDestDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <filesystem>

#include "ftp/AccountHistory.h"
#include "ftp/HistoryList.h"
#include "ftp/KeyPassphrase.h"
#include "ftp/LoginTest.h"
#include "ui/HistoryComboBox.h"
#include "ui/LoginTestDlg.h"
#include "ui/PingDlg.h"
#include "ui/TabOrder.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

constexpr const char* kDefaultPort = "21";

}  // namespace

CBackupDestDlg::CBackupDestDlg(Profile& profile, DestinationChoices& choices, EditorServices& services, QWidget* parent)
    : QDialog(parent),
      profile_(profile),
      choices_(choices),
      services_(services),
      local_(new QRadioButton(UiString(IDS_DEST_LOCAL), this)),
      folder_(new CHistoryComboBox(services.history, this)),
      browse_(new QPushButton(UiString(IDS_DEST_BROWSE), this)),
      ftp_(new QRadioButton(UiString(IDS_DEST_FTP), this)),
      account_(services.history, services.prompts, this),
      remotePath_(new QLineEdit(this)),
      passive_(new QCheckBox(UiString(IDS_DEST_PASSIVE), this)),
      ping_(new QPushButton(UiString(IDS_DEST_PING), this)),
      testLogin_(new QPushButton(UiString(IDS_DEST_TEST_LOGIN), this)),
      dateFolder_(new QCheckBox(UiString(IDS_DEST_DATE_FOLDER), this)) {
  setWindowTitle(UiString(IDS_DEST_CAPTION));
  remotePath_->setPlaceholderText(UiString(IDS_FTP_PATH_HINT));
  auto* kinds = new QButtonGroup(this);
  kinds->addButton(local_);
  kinds->addButton(ftp_);

  auto* group = new QGroupBox(UiString(IDS_DEST_CAPTION), this);
  auto* grid = new QGridLayout(group);
  grid->addWidget(local_, 0, 0, 1, 4);
  grid->addWidget(folder_, 1, 0, 1, 3);
  grid->addWidget(browse_, 1, 3);
  grid->addWidget(ftp_, 2, 0, 1, 4);
  account_.AddRows(grid, 3);
  auto* pathLabel = new QLabel(UiString(IDS_DEST_REMOTE_PATH), group);
  pathLabel->setBuddy(remotePath_);
  grid->addWidget(pathLabel, 6, 0);
  grid->addWidget(remotePath_, 6, 1);
  grid->addWidget(passive_, 6, 2, 1, 2);
  grid->addWidget(account_.saveAccount, 7, 1);
  grid->addWidget(ping_, 7, 2);
  grid->addWidget(testLogin_, 7, 3);
  grid->addWidget(account_.tls, 8, 1);
  account_.AddProtocolRows(grid, 9);
  grid->setColumnStretch(1, 1);
  grid->setColumnMinimumWidth(0, 90);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(UiString(IDS_SOURCE_OK), QDialogButtonBox::AcceptRole);
  buttons->addButton(UiString(IDS_DEST_CANCEL), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(dateFolder_);
  layout->addWidget(buttons);
  setMinimumWidth(520);

  const FtpAccountControls& a = account_;
  SetTabOrder({local_, folder_, browse_, ftp_, a.host, a.port, a.user, a.anonymous, a.password, a.mask, remotePath_,
               passive_, a.saveAccount, ping_, testLogin_, a.tls, a.protocol, a.keyFile, dateFolder_});
  account_.mask->setChecked(choices.maskPassword);
  account_.saveAccount->setChecked(choices.saveAccountInfo);
  dateFolder_->setChecked(profile.useDateFolder);
  account_.anonymous->setChecked(profile.anonymousLogin);
  passive_->setChecked(profile.ftpDest.passive == "1");
  // A profile without an FTP destination yet gets a new account: TLS on.
  account_.ShowSecurity(profile.ftpDest.host.empty() || profile.ftpDest.tls, false);
  account_.ShowProtocol(profile.ftpDest.sftp, profile.ftpDest.keyFile);
  account_.port->setText(QString::fromStdString(profile.ftpDest.port.empty() ? kDefaultPort : profile.ftpDest.port));
  account_.user->setText(QString::fromStdString(profile.ftpDest.user));
  account_.password->setText(QString::fromStdString(profile.ftpDest.password));
  remotePath_->setText(QString::fromStdString(profile.ftpDest.remotePath));
  (profile.destIsLocal ? local_ : ftp_)->setChecked(true);
  folder_->Load(kHistoryLocalDirSection);
  account_.host->Load(kHistoryFtpAddrSection);
  if (!profile.localDestFolder.empty()) folder_->setEditText(QString::fromStdString(profile.localDestFolder));
  if (!profile.ftpDest.host.empty()) account_.host->setEditText(QString::fromStdString(profile.ftpDest.host));
  UpdateEnabling();
  account_.TiePassive(passive_, [this] { return ftp_->isChecked(); });

  connect(ftp_, &QRadioButton::toggled, this, [this](bool on) {
    UpdateEnabling();
    if (on) RecallAccount();
  });
  connect(account_.host, &QComboBox::activated, this, &CBackupDestDlg::RecallAccount);
  connect(browse_, &QPushButton::clicked, this, &CBackupDestDlg::OnBrowse);
  connect(ping_, &QPushButton::clicked, this, &CBackupDestDlg::OnPing);
  connect(testLogin_, &QPushButton::clicked, this, &CBackupDestDlg::OnTestLogin);
}

void CBackupDestDlg::UpdateEnabling() {
  const bool local = local_->isChecked();
  folder_->setEnabled(local);
  browse_->setEnabled(local);
  for (QWidget* control :
       std::initializer_list<QWidget*>{account_.host, account_.port, account_.user, account_.password,
                                       account_.anonymous, account_.mask, remotePath_, passive_, account_.saveAccount,
                                       ping_, testLogin_, account_.tls, account_.protocol, account_.keyFile}) {
    control->setEnabled(!local);
  }
  passive_->setEnabled(!local && account_.PassiveApplies());
}

void CBackupDestDlg::RecallAccount() {
  DestinationAccountFields fields;
  fields.hostEnabled = account_.host->isEnabled();
  fields.host = account_.host->CurrentEntry();
  const Status recalled = RecallDestinationAccount(fields, profile_.ftpDest.host, profile_.ftpDest.remotePath);
  if (!recalled.ok()) {
    services_.prompts.ShowMessage(recalled.ToString());
    return;
  }
  if (!fields.hostEnabled || fields.host.empty()) return;
  account_.ShowRecalled(fields.userName, fields.password, fields.anonymous, fields.port);
  remotePath_->setText(QString::fromStdString(fields.remotePath));
  passive_->setChecked(fields.passive);
  account_.ShowSecurity(fields.tls, fields.plainWarned);
  account_.ShowProtocol(fields.sftp, fields.keyFile);
}

void CBackupDestDlg::OnBrowse() {
  const std::optional<std::string> folder = services_.files.ChooseFolder(this, UiString(IDS_DEST_CHOOSE_FOLDER));
  if (folder) folder_->Add(QString::fromStdString(*folder));
}

void CBackupDestDlg::OnPing() {
  const std::string host = account_.host->currentText().toStdString();
  if (host.empty()) {
    services_.prompts.ShowMessage(UiString(IDS_FTP_NO_HOST).toStdString());
    account_.host->setFocus();
    return;
  }
  CPingDlg dialog(host, this);
  dialog.exec();
}

void CBackupDestDlg::OnTestLogin() {
  if (!account_.Check(services_.prompts, remotePath_)) return;
  const FtpAccountInput input = account_.Input(remotePath_);
  LoginTestRequest request;
  request.host = input.host;
  if (!input.anonymous) {
    request.user = input.user;
    request.password = input.password;
  }
  request.remoteFolder = input.remotePath;
  request.passive = passive_->isChecked();
  request.port = PortFromText(input.port);
  request.tls = account_.tls->isChecked();
  request.sftp = account_.Sftp();
  request.keyFile = request.sftp ? account_.keyFile->text().toStdString() : std::string();
  if (!UnlockKey(request.keyFile, services_.prompts, request.keyPassphrase)) return;
  CLoginTestDlg dialog(request, services_.prompts, services_.ftpTimeouts, this);
  dialog.exec();
}

bool CBackupDestDlg::AcceptLocal() {
  std::string folder = folder_->currentText().toStdString();
  if (folder.empty()) {
    services_.prompts.ShowMessage(UiString(IDS_DEST_NO_FOLDER).toStdString());
    folder_->setFocus();
    return false;
  }
  // One trailing separator goes; the root keeps its own.
  if (folder.size() > 1 && folder.back() == kLocalPathSeparator) folder.pop_back();
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    services_.prompts.ShowMessage(UiString(IDS_DEST_FOLDER_MISSING).toStdString());
    folder_->setFocus();
    return false;
  }
  profile_.destIsLocal = true;
  profile_.localDestFolder = folder;
  return true;
}

bool CBackupDestDlg::AcceptFtp() {
  if (!account_.Check(services_.prompts, remotePath_)) return false;
  const FtpAccountInput input = account_.Input(remotePath_);
  profile_.ftpDest.host = input.host;
  profile_.ftpDest.port = input.port;
  profile_.ftpDest.user = input.user;
  profile_.ftpDest.password = input.password;
  profile_.ftpDest.remotePath = input.remotePath;
  profile_.ftpDest.passive = std::string(1, passive_->isChecked() ? '1' : '0');
  profile_.ftpDest.tls = account_.tls->isChecked();
  profile_.ftpDest.sftp = account_.Sftp();
  profile_.ftpDest.keyFile = profile_.ftpDest.sftp ? account_.keyFile->text().toStdString() : std::string();
  choices_.maskPassword = account_.mask->isChecked();
  choices_.saveAccountInfo = account_.saveAccount->isChecked();
  profile_.anonymousLogin = input.anonymous;
  if (choices_.saveAccountInfo) {
    const DestinationAccountFields fields{true,
                                          input.host,
                                          input.port,
                                          input.user,
                                          input.password,
                                          input.anonymous,
                                          input.remotePath,
                                          passive_->isChecked(),
                                          account_.tls->isChecked(),
                                          account_.plainWarned,
                                          profile_.ftpDest.sftp,
                                          profile_.ftpDest.keyFile};
    if (const Status stored = StoreDestinationAccount(fields); !stored.ok()) {
      services_.prompts.ShowMessage(stored.ToString());
    }
  }
  profile_.destIsLocal = false;
  return true;
}

void CBackupDestDlg::accept() {
  // Both lists keep what was typed, whichever kind is chosen.
  folder_->Save();
  account_.host->Save();
  if (!(local_->isChecked() ? AcceptLocal() : AcceptFtp())) return;
  profile_.useDateFolder = dateFolder_->isChecked();
  QDialog::accept();
}

}  // namespace tarnwick::ui
