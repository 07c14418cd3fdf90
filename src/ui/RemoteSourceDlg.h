// "Add Remote Folders/Files": an FTP account to back up from and the items picked on it with the
// remote browser. The items of the account (host and user) go into the profile when the browser
// is closed; OK keeps the host history and, when asked, the account in "ftpsrc.ini".
#pragma once

#include <QDialog>
#include <vector>

#include "profiles/Profile.h"
#include "ui/EditorServices.h"
#include "ui/FtpAccountControls.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace tarnwick::ui {

class CRemoteSourceDlg : public QDialog {
  Q_OBJECT
 public:
  CRemoteSourceDlg(Profile& profile, EditorServices& services, QWidget* parent = nullptr);

  // Fills the account fields from "ftpsrc.ini" for the host in the field, then lists the items
  // the profile holds for that host and user.
  void RecallAccount();
  // The checks of an account, then the remote browser; its result replaces the profile's items of
  // this host and user.
  void OnBrowse();
  // Keeps the host history and, when asked, the account; a host, port or path that cannot be
  // used is refused first.
  void accept() override;

  // The items chosen for the current host and user.
  const std::vector<SourceItem>& Items() const { return items_; }

  const FtpAccountControls& Account() const { return account_; }
  QLineEdit* InitialPathEdit() const { return initialPath_; }
  QComboBox* ServerTypeCombo() const { return serverType_; }
  QCheckBox* PassiveBox() const { return passive_; }
  QTreeWidget* ItemList() const { return itemList_; }

 private:
  // The user name and password a session and the stored source get: none for an anonymous one.
  std::string UserName() const;
  std::string Password() const;
  // The items of the profile's source with this host and user.
  void TakeItemsOfAccount();
  void ShowItems();

  Profile& profile_;
  EditorServices& services_;
  std::vector<SourceItem> items_;
  FtpAccountControls account_;
  QLineEdit* initialPath_;
  QComboBox* serverType_;
  QCheckBox* passive_;
  QPushButton* browse_;
  QTreeWidget* itemList_;
};

}  // namespace tarnwick::ui
