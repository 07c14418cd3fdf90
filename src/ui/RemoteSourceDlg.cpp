#include "ui/RemoteSourceDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ftp/AccountHistory.h"
#include "ftp/HistoryList.h"
#include "ui/FtpBrowseDlg.h"
#include "ui/HistoryComboBox.h"
#include "ui/Icons.h"
#include "ui/TabOrder.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {

CRemoteSourceDlg::CRemoteSourceDlg(Profile& profile, EditorServices& services, QWidget* parent)
    : QDialog(parent),
      profile_(profile),
      services_(services),
      account_(services.history, services.prompts, this),
      initialPath_(new QLineEdit(this)),
      serverType_(new QComboBox(this)),
      passive_(new QCheckBox(UiString(IDS_REMOTE_PASSIVE), this)),
      browse_(new QPushButton(UiString(IDS_DEST_BROWSE), this)),
      itemList_(new QTreeWidget(this)) {
  setWindowTitle(UiString(IDS_REMOTE_CAPTION));
  initialPath_->setPlaceholderText(UiString(IDS_FTP_PATH_HINT));
  itemList_->setColumnCount(1);
  itemList_->setHeaderLabels({UiString(IDS_COL_NAME)});
  itemList_->setRootIsDecorated(false);
  itemList_->setIconSize(QSize(16, 16));
  itemList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  itemList_->header()->resizeSection(0, 300);

  auto* group = new QGroupBox(UiString(IDS_REMOTE_GROUP), this);
  auto* grid = new QGridLayout(group);
  account_.AddRows(grid, 0);
  auto* pathLabel = new QLabel(UiString(IDS_REMOTE_INITIAL_PATH), group);
  pathLabel->setBuddy(initialPath_);
  grid->addWidget(pathLabel, 3, 0);
  grid->addWidget(initialPath_, 3, 1);
  auto* typeLabel = new QLabel(UiString(IDS_REMOTE_SERVER_TYPE), group);
  typeLabel->setBuddy(serverType_);
  grid->addWidget(typeLabel, 4, 0);
  grid->addWidget(serverType_, 4, 1);
  grid->addWidget(account_.saveAccount, 3, 2, 1, 2);
  grid->addWidget(passive_, 4, 2, 1, 2);
  grid->addWidget(account_.tls, 5, 2, 1, 2);
  account_.AddProtocolRows(grid, 6);
  grid->setColumnStretch(1, 1);

  auto* itemsLabel = new QLabel(UiString(IDS_REMOTE_ITEMS), this);
  itemsLabel->setBuddy(itemList_);
  auto* itemsRow = new QHBoxLayout;
  itemsRow->addWidget(itemsLabel, 1);
  itemsRow->addWidget(browse_);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(UiString(IDS_SOURCE_OK), QDialogButtonBox::AcceptRole);
  buttons->addButton(UiString(IDS_DEST_CANCEL), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(itemsRow);
  layout->addWidget(itemList_, 1);
  layout->addWidget(buttons);
  resize(520, 480);

  const FtpAccountControls& a = account_;
  SetTabOrder({a.host, a.port, a.user, a.anonymous, a.password, a.mask, initialPath_, a.saveAccount, serverType_,
               passive_, a.tls, a.protocol, a.keyFile, browse_, itemList_});
  account_.host->Load(kHistorySrcHostSection);
  account_.saveAccount->setChecked(true);
  serverType_->addItem(QString::fromUtf8(ServerTypeName(kWindowsServer)));
  serverType_->addItem(QString::fromUtf8(ServerTypeName(kUnixServer)));
  connect(account_.host, &QComboBox::activated, this, &CRemoteSourceDlg::RecallAccount);
  connect(browse_, &QPushButton::clicked, this, &CRemoteSourceDlg::OnBrowse);
  account_.TiePassive(passive_, [] { return true; });
  RecallAccount();
}

std::string CRemoteSourceDlg::UserName() const {
  return account_.anonymous->isChecked() ? std::string() : account_.user->text().toStdString();
}

std::string CRemoteSourceDlg::Password() const {
  return account_.anonymous->isChecked() ? std::string() : account_.password->text().toStdString();
}

void CRemoteSourceDlg::RecallAccount() {
  SourceAccountFields fields;
  fields.hostEnabled = account_.host->isEnabled();
  fields.host = account_.host->CurrentEntry();
  if (const Status recalled = RecallSourceAccount(fields); !recalled.ok()) {
    services_.prompts.ShowMessage(recalled.ToString());
    return;
  }
  if (fields.host.empty()) return;
  account_.ShowRecalled(fields.userName, fields.password, fields.anonymous, fields.port);
  initialPath_->setText(QString::fromStdString(fields.initialPath));
  serverType_->setCurrentIndex(fields.serverType == kUnixServer ? 1 : 0);
  passive_->setChecked(fields.passive);
  account_.ShowSecurity(fields.tls, fields.plainWarned);
  account_.ShowProtocol(fields.sftp, fields.keyFile);
  TakeItemsOfAccount();
}

void CRemoteSourceDlg::TakeItemsOfAccount() {
  const std::string host = account_.host->currentText().toStdString();
  const std::string user = UserName();
  items_.clear();
  for (const FtpSource& source : profile_.remoteSources) {
    if (source.site.host == host && source.site.user == user) {
      items_ = source.items;
      account_.ShowSecurity(source.site.tls, account_.plainWarned);  // the profile's own choice
      account_.ShowProtocol(source.site.sftp, source.site.keyFile);
      passive_->setChecked(PassiveFromText(source.site.passive));
      break;
    }
  }
  ShowItems();
}

void CRemoteSourceDlg::ShowItems() {
  itemList_->clear();
  for (const SourceItem& item : items_) {
    auto* row = new QTreeWidgetItem(itemList_, QStringList(QString::fromStdString(item.path)));
    row->setIcon(0, ItemIcon(item.kind == ItemKind::FtpFolder ? kImageRemoteFolder : kImageFile));
  }
}

void CRemoteSourceDlg::OnBrowse() {
  if (!account_.Check(services_.prompts, initialPath_)) return;
  const bool unixServer = serverType_->currentIndex() == kUnixServer;
  FtpBrowseAccount browse{account_.host->currentText().toStdString(),
                          account_.port->text().toStdString(),
                          UserName(),
                          Password(),
                          initialPath_->text().toStdString(),
                          passive_->isChecked(),
                          unixServer,
                          account_.tls->isChecked(),
                          account_.Sftp(),
                          account_.Sftp() ? account_.keyFile->text().toStdString() : std::string()};
  CFtpBrowseDlg dialog(browse, items_, services_.prompts, services_.ftpTimeouts, this);
  const int result = dialog.exec();
  ShowItems();
  if (result != QDialog::Accepted) return;
  // The account's items are these from now on: one source per host and user.
  std::erase_if(profile_.remoteSources, [&browse](const FtpSource& source) {
    return source.site.host == browse.host && source.site.user == browse.user;
  });
  FtpSource source;
  source.site.host = browse.host;
  source.site.port = browse.portText;
  source.site.user = browse.user;
  source.site.password = browse.password;
  source.site.remotePath = browse.initialPath;
  source.site.passive = std::string(1, browse.passive ? '1' : '0');
  source.site.serverIsUnix = unixServer;
  source.site.tls = browse.tls;
  source.site.sftp = browse.sftp;
  source.site.keyFile = browse.keyFile;
  source.items = items_;
  if (!source.items.empty()) profile_.remoteSources.push_back(std::move(source));
}

void CRemoteSourceDlg::accept() {
  // Nothing must be empty here, but what is typed must be usable before it is kept.
  if (!account_.CheckValues(services_.prompts, initialPath_)) return;
  account_.host->Save();
  if (account_.saveAccount->isChecked()) {
    SourceAccountFields fields;
    fields.host = account_.host->currentText().toStdString();
    fields.port = account_.port->text().toStdString();
    fields.userName = account_.user->text().toStdString();
    fields.password = account_.password->text().toStdString();
    fields.anonymous = account_.anonymous->isChecked();
    fields.initialPath = initialPath_->text().toStdString();
    fields.passive = passive_->isChecked();
    fields.serverType = serverType_->currentIndex();
    fields.tls = account_.tls->isChecked();
    fields.plainWarned = account_.plainWarned;
    fields.sftp = account_.Sftp();
    fields.keyFile = fields.sftp ? account_.keyFile->text().toStdString() : std::string();
    if (const Status stored = StoreSourceAccount(fields); !stored.ok())
      services_.prompts.ShowMessage(stored.ToString());
  }
  QDialog::accept();
}

}  // namespace tarnwick::ui
