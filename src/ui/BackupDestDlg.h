// "Backup Destination": a local folder or an FTP account, with the two history lists, account
// recall and storage in "ftpac.ini", a ping of the host and a login test. OK checks the chosen
// kind and writes the destination into the profile.
#pragma once

#include <QDialog>

#include "profiles/Profile.h"
#include "ui/EditorServices.h"
#include "ui/FtpAccountControls.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarnwick::ui {

class CHistoryComboBox;

// What the profile editor remembers of this dialog between openings.
struct DestinationChoices {
  bool maskPassword = true;
  bool saveAccountInfo = true;
};

class CBackupDestDlg : public QDialog {
  Q_OBJECT
 public:
  CBackupDestDlg(Profile& profile, DestinationChoices& choices, EditorServices& services, QWidget* parent = nullptr);

  // The FTP account of the host in the host field, from "ftpac.ini".
  void RecallAccount();
  // "&Browse...", "P&ing Host", "&Test Login".
  void OnBrowse();
  void OnPing();
  void OnTestLogin();
  // Keeps both histories, then checks the chosen kind; a failure says why and focuses its field.
  void accept() override;

  QRadioButton* LocalRadio() const { return local_; }
  QRadioButton* FtpRadio() const { return ftp_; }
  CHistoryComboBox* FolderCombo() const { return folder_; }
  QPushButton* BrowseButton() const { return browse_; }
  const FtpAccountControls& Account() const { return account_; }
  QLineEdit* RemotePathEdit() const { return remotePath_; }
  QCheckBox* PassiveBox() const { return passive_; }
  QPushButton* PingButton() const { return ping_; }
  QPushButton* TestLoginButton() const { return testLogin_; }
  QCheckBox* DateFolderBox() const { return dateFolder_; }

 private:
  void UpdateEnabling();
  bool AcceptLocal();
  bool AcceptFtp();

  Profile& profile_;
  DestinationChoices& choices_;
  EditorServices& services_;
  QRadioButton* local_;
  CHistoryComboBox* folder_;
  QPushButton* browse_;
  QRadioButton* ftp_;
  FtpAccountControls account_;
  QLineEdit* remotePath_;
  QCheckBox* passive_;
  QPushButton* ping_;
  QPushButton* testLogin_;
  QCheckBox* dateFolder_;
};

}  // namespace tarnwick::ui
