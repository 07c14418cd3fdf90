// "Browse FTP": walks the folders of an FTP server and adds the rows picked to the caller's item
// list. The session opens when the dialog is shown and stays open while it is; its requests run
// off the window's thread, with a wait cursor and a line saying so, and "&Close" gives up on one
// that takes too long.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "app/UserPrompts.h"
#include "ftp/FtpSession.h"
#include "profiles/Profile.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarnwick::ui {

class CFtpBrowseSession;
struct BrowseListing;

// What the caller gives the browser.
struct FtpBrowseAccount {
  std::string host;
  std::string portText;
  std::string user;
  std::string password;
  std::string initialPath;
  bool passive = false;
  bool unixServer = false;
  bool tls = false;
  bool sftp = false;
  std::string keyFile{};
};

class CFtpBrowseDlg : public QDialog {
  Q_OBJECT
 public:
  // The result when the session could not be opened (the caller then takes nothing).
  static constexpr int kNotConnected = -1;
  enum Column { kNameColumn, kSizeColumn, kDateColumn };

  // `target` receives the picked entries and must outlive the dialog.
  CFtpBrowseDlg(FtpBrowseAccount account, std::vector<SourceItem>& target, UserPrompts& prompts,
                FtpTimeouts timeouts = {}, QWidget* parent = nullptr);
  ~CFtpBrowseDlg() override;

  // Navigation: a row (0 is "Parent Directory"), the up button, the path field's text.
  void OnRowActivated(int row);
  void OnUp();
  void OnPathEntered();
  // Adds the selected rows to the caller's list (each path once).
  void OnAddToList();

  // Whether a request is on its way to the server.
  bool Busy() const { return busy_; }
  // The folder shown, as the server named it.
  const std::string& CurrentFolder() const { return folder_; }
  // The entries of the folder shown.
  const std::vector<SourceItem>& Entries() const { return entries_; }
  QTreeWidget* List() const { return list_; }
  QLineEdit* PathEdit() const { return path_; }
  QToolButton* UpButton() const { return up_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* CloseButton() const { return close_; }
  // The row whose name is `name` (the first column), or null.
  QTreeWidgetItem* Row(const QString& name) const;

  // Ends with OK; while the session is still opening, gives up and ends as not connected.
  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class Request { Open, Parent, Child, Typed };
  void Send(Request request, const std::string& path);
  void OnReply(Request request, const std::string& path, const BrowseListing& listing);
  void SetBusy(bool busy);
  void ShowListing(const BrowseListing& listing);

  const FtpBrowseAccount account_;
  std::vector<SourceItem>& target_;
  UserPrompts& prompts_;
  const FtpTimeouts timeouts_;
  std::unique_ptr<CFtpBrowseSession> session_;
  bool opened_ = false;  // the session is logged in
  bool busy_ = false;
  std::string folder_;
  std::vector<SourceItem> entries_;
  QToolButton* up_;
  QLineEdit* path_;
  QTreeWidget* list_;
  QLabel* state_;
  QPushButton* add_;
  QPushButton* close_;
};

}  // namespace tarnwick::ui
