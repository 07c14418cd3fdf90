// The account fields that "Backup Destination" and "Add Remote Folders/Files" share: host with its
// history, port (digits only), user name, "&Anonymous", password with "&Mask Password", and
// "&Save Account Info", "Us&e TLS (FTPS)"; their checks and the fields an account file fills.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "app/HistoryStore.h"
#include "app/UserPrompts.h"
#include "ui/EditorTexts.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QWidget;

namespace tarnwick::ui {

class CHistoryComboBox;

struct FtpAccountControls {
  // Makes the controls as children of `parent`; the password starts masked and TLS on. Switching
  // TLS off by hand tells through `prompts`, once per account, that the password travels in clear.
  FtpAccountControls(HistoryStore& history, UserPrompts& prompts, QWidget* parent);

  // The fields as a check reads them, with the remote path of the dialog.
  FtpAccountInput Input(const QLineEdit* remotePath) const;
  // Runs the checks of an account; the first failure is shown and its field gets the focus.
  bool Check(UserPrompts& prompts, QLineEdit* remotePath) const;
  // The same for the values typed only (empty fields pass).
  bool CheckValues(UserPrompts& prompts, QLineEdit* remotePath) const;
  // What an account recall found (user name and password empty for an anonymous account).
  void ShowRecalled(const std::string& userName, const std::string& password, bool isAnonymous,
                    const std::string& portText);
  // An account's TLS choice and whether it was warned about plain FTP (no warning now).
  void ShowSecurity(bool tlsOn, bool warned);
  // Host, port, user and password in rows of `grid` from `row` on, labels in column 0.
  void AddRows(QGridLayout* grid, int row) const;
  // Whether "SFTP" is the protocol chosen.
  bool Sftp() const;
  // Whether the passive box means anything: plain FTP only (secured FTP is always passive, SFTP has
  // no data connections). Enables `passive` by that from now on, whenever TLS or the protocol changes.
  bool PassiveApplies() const;
  void TiePassive(QCheckBox* passive, const std::function<bool()>& otherwiseEnabled);
  // An account's protocol and key file.
  void ShowProtocol(bool sftp, const std::string& keyFileText);
  // The protocol and key file rows of `grid` from `row` on, labels in column 0.
  void AddProtocolRows(QGridLayout* grid, int row) const;

  CHistoryComboBox* host;
  QLineEdit* port;
  QLineEdit* user;
  QCheckBox* anonymous;
  QLineEdit* password;
  QCheckBox* mask;
  QCheckBox* saveAccount;
  QCheckBox* tls;
  QComboBox* protocol;  // "FTP" or "SFTP"; choosing one swaps the other's standard port
  QLineEdit* keyFile;
  bool plainWarned = false;               // told already that this account's password travels in clear
  std::function<void()> updatePassive{};  // set by TiePassive
};

}  // namespace tarnwick::ui
