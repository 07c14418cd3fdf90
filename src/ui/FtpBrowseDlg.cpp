#include "ui/FtpBrowseDlg.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/PathFilter.h"
#include "ftp/KeyPassphrase.h"
#include "ui/EditorTexts.h"
#include "ui/FtpBrowseSession.h"
#include "ui/GuiPost.h"
#include "ui/Icons.h"
#include "ui/ListSorting.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

constexpr int kParentRole = Qt::UserRole;      // column 0: the "Parent Directory" row
constexpr int kSizeRole = Qt::UserRole + 1;    // column 1: the size in bytes
constexpr int kFolderRole = Qt::UserRole + 2;  // column 0: a folder's row

// A listed row. Sizes sort by their value, names and dates by their text without regard to case,
// and "Parent Directory" stays on top whichever way the rows are sorted.
class BrowseRow : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem& other) const override {
    const bool ascending = treeWidget()->header()->sortIndicatorOrder() == Qt::AscendingOrder;
    if (data(0, kParentRole).toBool()) return ascending;
    if (other.data(0, kParentRole).toBool()) return !ascending;
    const int column = treeWidget()->sortColumn();
    if (column == CFtpBrowseDlg::kSizeColumn) {
      return data(column, kSizeRole).toULongLong() < other.data(column, kSizeRole).toULongLong();
    }
    return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
  }
};

// The folder above `folder`: the text before its last "/" ("/" when that is the first character);
// empty when there is none.
std::string ParentFolder(const std::string& folder) {
  const std::size_t slash = folder.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : folder.substr(0, slash);
}

QString DateText(const FtpFileInfo& entry) {
  if (!entry.hasTime) return {};
  return QDateTime::fromSecsSinceEpoch(entry.modified).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

}  // namespace

CFtpBrowseDlg::CFtpBrowseDlg(FtpBrowseAccount account, std::vector<SourceItem>& target, UserPrompts& prompts,
                             FtpTimeouts timeouts, QWidget* parent)
    : QDialog(parent),
      account_(std::move(account)),
      target_(target),
      prompts_(prompts),
      timeouts_(timeouts),
      up_(new QToolButton(this)),
      path_(new QLineEdit(this)),
      list_(new QTreeWidget(this)),
      state_(new QLabel(this)),
      add_(new QPushButton(UiString(IDS_BROWSE_ADD), this)),
      close_(new QPushButton(UiString(IDS_BROWSE_CLOSE), this)) {
  setWindowTitle(UiString(IDS_BROWSE_CAPTION));
  up_->setIcon(ProgramIcon(kIconUpFolder));
  up_->setToolTip(UiString(IDS_BROWSE_UP));
  path_->installEventFilter(this);
  list_->setColumnCount(3);
  list_->setHeaderLabels({UiString(IDS_COL_NAME), UiString(IDS_BROWSE_COL_SIZE), UiString(IDS_BROWSE_COL_DATE)});
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setIconSize(QSize(16, 16));
  list_->header()->setStretchLastSection(false);
  list_->header()->resizeSection(kNameColumn, 220);
  list_->header()->resizeSection(kSizeColumn, 80);
  // At least as wide as a date and time of this font.
  list_->header()->resizeSection(
      kDateColumn, std::max(110, list_->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00")) + 16));
  SortOnHeaderClick(list_);
  state_->setText(UiString(IDS_BROWSE_WORKING).arg(QString::fromStdString(account_.host)));
  state_->hide();
  close_->setDefault(true);

  connect(list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { OnRowActivated(list_->indexOfTopLevelItem(item)); });
  connect(up_, &QToolButton::clicked, this, &CFtpBrowseDlg::OnUp);
  connect(add_, &QPushButton::clicked, this, &CFtpBrowseDlg::OnAddToList);
  connect(close_, &QPushButton::clicked, this, &CFtpBrowseDlg::accept);

  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(up_);
  pathRow->addWidget(path_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(state_);
  buttons->addStretch(1);
  buttons->addWidget(add_);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(pathRow);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  resize(500, 420);
  SetBusy(true);
}

CFtpBrowseDlg::~CFtpBrowseDlg() { session_.reset(); }

void CFtpBrowseDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (session_) return;
  // Opened when shown, so the reply cannot arrive before the dialog runs.
  session_ = std::make_unique<CFtpBrowseSession>(timeouts_, account_.unixServer);
  Send(Request::Open, account_.initialPath);
}

bool CFtpBrowseDlg::eventFilter(QObject* watched, QEvent* event) {
  // Enter in the path field changes to the folder typed; anywhere else it keeps its dialog meaning.
  if (watched == path_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      OnPathEntered();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CFtpBrowseDlg::SetBusy(bool busy) {
  busy_ = busy;
  for (QWidget* control : std::initializer_list<QWidget*>{up_, path_, list_, add_}) {
    control->setEnabled(!busy);
    if (busy) {
      control->setCursor(Qt::WaitCursor);
    } else {
      control->unsetCursor();
    }
  }
  state_->setVisible(busy);
}

void CFtpBrowseDlg::Send(Request request, const std::string& path) {
  SetBusy(true);
  QPointer<CFtpBrowseDlg> self(this);
  auto reply = [self, request, path](BrowseListing listing) {
    PostToGui(self, [request, path, listing = std::move(listing)](CFtpBrowseDlg& dialog) {
      dialog.OnReply(request, path, listing);
    });
  };
  if (request == Request::Open) {
    FtpConnectParams params{account_.host, PortFromText(account_.portText), account_.user, account_.password,
                            account_.passive};
    params.tls = account_.tls;
    params.sftp = account_.sftp;
    params.keyFile = account_.keyFile;
    // A key whose passphrase the user would not give: nothing to browse with.
    if (params.sftp && !UnlockKey(params.keyFile, prompts_, params.keyPassphrase)) {
      QMetaObject::invokeMethod(
          this, [this] { done(kNotConnected); }, Qt::QueuedConnection);
      return;
    }
    session_->Open(params, path, std::move(reply));
  } else {
    session_->Change(path, std::move(reply));
  }
}

void CFtpBrowseDlg::OnReply(Request request, const std::string& path, const BrowseListing& listing) {
  // A reply to a request given up on when the dialog was closed.
  if (!isVisible()) return;
  SetBusy(false);
  if (listing.status.ok()) {
    if (request == Request::Open) opened_ = true;
    ShowListing(listing);
    return;
  }
  const QString name = QString::fromStdString(path);
  switch (request) {
    case Request::Open:
      prompts_.ShowMessage(
          UiString(IDS_BROWSE_CONNECT_FAILED).arg(QString::fromStdString(account_.host)).toStdString());
      done(kNotConnected);
      break;
    case Request::Child: prompts_.ShowMessage(UiString(IDS_BROWSE_PERMISSION_DENIED).arg(name).toStdString()); break;
    case Request::Typed: prompts_.ShowMessage(UiString(IDS_BROWSE_CANNOT_CHANGE).arg(name).toStdString()); break;
    case Request::Parent: break;
  }
}

void CFtpBrowseDlg::ShowListing(const BrowseListing& listing) {
  folder_ = listing.folder;
  path_->setText(QString::fromStdString(folder_));
  entries_.clear();
  list_->setUpdatesEnabled(false);
  list_->clear();
  auto* parentRow = new BrowseRow(list_, QStringList(UiString(IDS_BROWSE_PARENT)));
  parentRow->setIcon(kNameColumn, ItemIcon(kImageParent));
  parentRow->setData(kNameColumn, kParentRole, true);
  // Folders first, then files, each in the server's order.
  for (const bool folders : {true, false}) {
    for (const FtpFileInfo& entry : listing.entries) {
      if (entry.isDirectory != folders) continue;
      entries_.push_back(
          {JoinPath(folder_, entry.name), kEverythingFilter, folders ? ItemKind::FtpFolder : ItemKind::FtpFile, false});
      auto* row =
          new BrowseRow(list_, {QString::fromStdString(entry.name), QString::number(entry.size), DateText(entry)});
      row->setIcon(kNameColumn, ItemIcon(folders ? kImageFolder : kImageFile));
      row->setData(kNameColumn, kFolderRole, folders);
      row->setData(kSizeColumn, kSizeRole, QVariant::fromValue<qulonglong>(entry.size));
      row->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    }
  }
  if (list_->header()->isSortIndicatorShown()) {
    ApplySort(list_, list_->header()->sortIndicatorSection(), list_->header()->sortIndicatorOrder());
  }
  list_->setUpdatesEnabled(true);
}

QTreeWidgetItem* CFtpBrowseDlg::Row(const QString& name) const {
  const QList<QTreeWidgetItem*> found = list_->findItems(name, Qt::MatchExactly, kNameColumn);
  return found.isEmpty() ? nullptr : found.front();
}

void CFtpBrowseDlg::OnRowActivated(int row) {
  if (busy_ || row < 0) return;
  QTreeWidgetItem* item = list_->topLevelItem(row);
  if (item == nullptr) return;
  if (item->data(kNameColumn, kParentRole).toBool()) {
    OnUp();
    return;
  }
  // A double click on a file does nothing.
  if (item->data(kNameColumn, kFolderRole).toBool()) Send(Request::Child, item->text(kNameColumn).toStdString());
}

void CFtpBrowseDlg::OnUp() {
  if (busy_ || folder_ == "/") return;
  const std::string parent = ParentFolder(folder_);
  if (!parent.empty()) Send(Request::Parent, parent);
}

void CFtpBrowseDlg::OnPathEntered() {
  if (!busy_) Send(Request::Typed, path_->text().toStdString());
}

void CFtpBrowseDlg::OnAddToList() {
  if (busy_) return;
  std::string folder = folder_;
  if (folder.empty() || folder.back() != '/') folder += '/';
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = list_->topLevelItem(i);
    if (!row->isSelected() || row->data(kNameColumn, kParentRole).toBool()) continue;
    const std::string path = folder + row->text(kNameColumn).toStdString();
    const auto same = [&path](const SourceItem& item) { return item.path == path; };
    if (std::any_of(target_.begin(), target_.end(), same)) continue;
    const auto entry = std::find_if(entries_.begin(), entries_.end(), same);
    if (entry == entries_.end()) continue;
    target_.push_back(*entry);
    row->setIcon(kNameColumn, ItemIcon(entry->kind == ItemKind::FtpFolder ? kImageFolderAdded : kImageFileAdded));
  }
}

void CFtpBrowseDlg::accept() {
  if (session_ && busy_) session_->GiveUp();
  // Given up before the login: there is nothing to take.
  if (!opened_) {
    done(kNotConnected);
    return;
  }
  QDialog::accept();
}

void CFtpBrowseDlg::reject() { accept(); }

}  // namespace tarnwick::ui
