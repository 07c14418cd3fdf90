#include "ui/BackupSourceDlg.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "ui/EditFilterDlg.h"
#include "ui/EditorTexts.h"
#include "ui/FileInfoDlg.h"
#include "ui/Icons.h"
#include "ui/ItemsInfoDlg.h"
#include "ui/ListSorting.h"
#include "ui/RemoteSourceDlg.h"
#include "ui/TabOrder.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

constexpr int kSourceRole = Qt::UserRole;    // -1 for a local item, else the remote source's index
constexpr int kItemRole = Qt::UserRole + 1;  // the item's index in its list

bool IsFolder(const SourceItem& item) { return item.kind == ItemKind::LocalFolder || item.kind == ItemKind::FtpFolder; }

}  // namespace

CBackupSourceDlg::CBackupSourceDlg(Profile& profile, SourceListState& state, EditorServices& services, QWidget* parent)
    : QDialog(parent),
      profile_(profile),
      state_(state),
      services_(services),
      list_(new QTreeWidget(this)),
      editFilter_(new QPushButton(UiString(IDS_SOURCE_EDIT_FILTER), this)),
      menu_(new QMenu(this)) {
  setWindowTitle(UiString(IDS_SOURCE_CAPTION));
  list_->setColumnCount(2);
  list_->setHeaderLabels({UiString(IDS_SOURCE_COL_PATH), UiString(IDS_SOURCE_COL_FILTER)});
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setIconSize(QSize(16, 16));
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->header()->setStretchLastSection(true);
  list_->header()->resizeSection(kPathColumn, 300);
  list_->header()->resizeSection(kFilterColumn, 140);
  SortOnHeaderClick(list_, [this](int column, Qt::SortOrder order) {
    state_.sortColumn = column;
    state_.sortOrder = order;
  });

  auto* addFolder = new QPushButton(UiString(IDS_SOURCE_ADD_FOLDER), this);
  auto* addFiles = new QPushButton(UiString(IDS_SOURCE_ADD_FILES), this);
  auto* addRemote = new QPushButton(UiString(IDS_SOURCE_ADD_REMOTE), this);
  auto* ok = new QPushButton(UiString(IDS_SOURCE_OK), this);
  ok->setDefault(true);
  connect(addFolder, &QPushButton::clicked, this, &CBackupSourceDlg::OnAddFolder);
  connect(addFiles, &QPushButton::clicked, this, &CBackupSourceDlg::OnAddFiles);
  connect(addRemote, &QPushButton::clicked, this, &CBackupSourceDlg::OnAddRemote);
  connect(editFilter_, &QPushButton::clicked, this, &CBackupSourceDlg::OnEditFilter);
  connect(ok, &QPushButton::clicked, this, &CBackupSourceDlg::accept);

  auto* viewGroup = new QButtonGroup(this);
  constexpr unsigned kViewTexts[] = {IDS_SOURCE_VIEW_ALL, IDS_SOURCE_VIEW_FOLDERS, IDS_SOURCE_VIEW_FILES};
  for (int view = 0; view < 3; ++view) {
    views_[view] = new QRadioButton(UiString(kViewTexts[view]), this);
    viewGroup->addButton(views_[view], view);
  }
  views_[std::clamp(state_.view, 0, 2)]->setChecked(true);
  connect(viewGroup, &QButtonGroup::idClicked, this, &CBackupSourceDlg::SetView);

  constexpr unsigned kMenuTexts[kMenuItemCount] = {IDS_SOURCE_REMOVE_SELECTED, IDS_SOURCE_EDIT_FILTER,
                                                   IDS_SOURCE_VIEW_INFO, IDS_SOURCE_REMOVE_ALL};
  for (int item = 0; item < kMenuItemCount; ++item) {
    if (item == kRemoveAll) menu_->addSeparator();
    actions_[item] = menu_->addAction(UiString(kMenuTexts[item]));
  }
  connect(actions_[kRemoveSelected], &QAction::triggered, this, &CBackupSourceDlg::OnRemoveSelected);
  connect(actions_[kEditFilter], &QAction::triggered, this, &CBackupSourceDlg::OnEditFilter);
  connect(actions_[kViewInfo], &QAction::triggered, this, &CBackupSourceDlg::OnViewInfo);
  connect(actions_[kRemoveAll], &QAction::triggered, this, &CBackupSourceDlg::OnRemoveAll);
  connect(list_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { ContextMenu()->popup(list_->viewport()->mapToGlobal(at)); });
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &CBackupSourceDlg::UpdateEnabling);

  SetTabOrder({addFolder, addFiles, addRemote, editFilter_, list_, views_[0], views_[1], views_[2], ok});
  auto* addRow = new QHBoxLayout;
  for (QPushButton* button : {addFolder, addFiles, addRemote, editFilter_}) addRow->addWidget(button);
  addRow->addStretch(1);
  auto* bottomRow = new QHBoxLayout;
  for (QRadioButton* radio : views_) bottomRow->addWidget(radio);
  bottomRow->addStretch(1);
  bottomRow->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(UiString(IDS_SOURCE_PROMPT), this));
  layout->addLayout(addRow);
  layout->addWidget(list_, 1);
  layout->addLayout(bottomRow);
  resize(540, 400);
  Rebuild();
}

void CBackupSourceDlg::AddRow(const QString& path, const SourceItem& item, ItemRef ref, int image) {
  auto* row = new QTreeWidgetItem(list_, {path, IsFolder(item) ? QString::fromStdString(item.filter) : QString()});
  row->setIcon(kPathColumn, ItemIcon(image));
  row->setData(kPathColumn, kSourceRole, ref.source);
  row->setData(kPathColumn, kItemRole, ref.item);
}

void CBackupSourceDlg::Rebuild() {
  const auto shown = [this](const SourceItem& item) {
    return IsFolder(item) ? state_.view != SourceListState::kFiles : state_.view != SourceListState::kFolders;
  };
  list_->setUpdatesEnabled(false);
  list_->clear();
  for (int i = 0; i < static_cast<int>(profile_.localSources.size()); ++i) {
    const SourceItem& item = profile_.localSources[static_cast<std::size_t>(i)];
    if (shown(item))
      AddRow(QString::fromStdString(item.path), item, {-1, i}, IsFolder(item) ? kImageFolder : kImageFile);
  }
  for (int s = 0; s < static_cast<int>(profile_.remoteSources.size()); ++s) {
    const FtpSource& source = profile_.remoteSources[static_cast<std::size_t>(s)];
    for (int i = 0; i < static_cast<int>(source.items.size()); ++i) {
      const SourceItem& item = source.items[static_cast<std::size_t>(i)];
      if (!shown(item)) continue;
      AddRow(QString::fromStdString(RemoteRowText(source.site.host, item.path)), item, {s, i},
             IsFolder(item) ? kImageRemoteFolder : kImageFile);
    }
  }
  ApplySort(list_, state_.sortColumn, state_.sortOrder);
  list_->setUpdatesEnabled(true);
  UpdateEnabling();
}

std::vector<CBackupSourceDlg::ItemRef> CBackupSourceDlg::SelectedRefs() const {
  std::vector<ItemRef> refs;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = list_->topLevelItem(i);
    if (row->isSelected()) {
      refs.push_back({row->data(kPathColumn, kSourceRole).toInt(), row->data(kPathColumn, kItemRole).toInt()});
    }
  }
  return refs;
}

std::vector<SourceItem>& CBackupSourceDlg::ItemsOf(ItemRef ref) const {
  return ref.source < 0 ? profile_.localSources : profile_.remoteSources[static_cast<std::size_t>(ref.source)].items;
}

SourceItem& CBackupSourceDlg::ItemAt(ItemRef ref) const { return ItemsOf(ref)[static_cast<std::size_t>(ref.item)]; }

bool CBackupSourceDlg::SelectionHasFolder() const {
  const std::vector<ItemRef> refs = SelectedRefs();
  return std::any_of(refs.begin(), refs.end(), [this](ItemRef ref) { return IsFolder(ItemAt(ref)); });
}

bool CBackupSourceDlg::SelectionHasLocal() const {
  const std::vector<ItemRef> refs = SelectedRefs();
  return std::any_of(refs.begin(), refs.end(), [](ItemRef ref) { return ref.source < 0; });
}

void CBackupSourceDlg::UpdateEnabling() {
  const bool folder = SelectionHasFolder();
  editFilter_->setEnabled(folder);
  actions_[kRemoveSelected]->setEnabled(!list_->selectedItems().isEmpty());
  actions_[kEditFilter]->setEnabled(folder);
  actions_[kViewInfo]->setEnabled(SelectionHasLocal());
  actions_[kRemoveAll]->setEnabled(true);
}

QMenu* CBackupSourceDlg::ContextMenu() {
  UpdateEnabling();
  return menu_;
}

void CBackupSourceDlg::SetView(int view) {
  state_.view = std::clamp(view, 0, 2);
  views_[state_.view]->setChecked(true);
  Rebuild();
}

void CBackupSourceDlg::OnAddFolder() {
  const std::optional<std::string> folder = services_.files.ChooseFolder(this, UiString(IDS_SOURCE_CHOOSE_FOLDER));
  if (!folder) return;
  const auto same = [&folder](const SourceItem& item) { return item.path == *folder; };
  if (std::none_of(profile_.localSources.begin(), profile_.localSources.end(), same)) {
    profile_.localSources.push_back({*folder, kEverythingFilter, ItemKind::LocalFolder, false});
  }
  SetView(SourceListState::kFolders);
}

void CBackupSourceDlg::OnAddFiles() {
  const std::vector<std::string> files = services_.files.ChooseFiles(this);
  if (files.empty()) return;
  for (const std::string& path : files) {
    const auto same = [&path](const SourceItem& item) { return item.path == path; };
    if (std::none_of(profile_.localSources.begin(), profile_.localSources.end(), same)) {
      profile_.localSources.push_back({path, {}, ItemKind::LocalFile, false});
    }
  }
  SetView(SourceListState::kFiles);
}

void CBackupSourceDlg::OnAddRemote() {
  CRemoteSourceDlg dialog(profile_, services_, this);
  dialog.exec();
  SetView(SourceListState::kAll);
}

void CBackupSourceDlg::OnEditFilter() {
  std::vector<ItemRef> folders = SelectedRefs();
  std::erase_if(folders, [this](ItemRef ref) { return !IsFolder(ItemAt(ref)); });
  if (folders.empty()) return;
  const std::string start = folders.size() == 1 ? ItemAt(folders.front()).filter : kEverythingFilter;
  CEditFilterDlg dialog(start, ItemAt(folders.back()).recursive, this);
  if (dialog.exec() != QDialog::Accepted) return;
  std::vector<int> touched;  // remote sources changed, in the order first changed
  for (ItemRef ref : folders) {
    SourceItem& item = ItemAt(ref);
    item.filter = dialog.Filter();
    item.recursive = dialog.Recursive();
    if (ref.source >= 0 && std::find(touched.begin(), touched.end(), ref.source) == touched.end()) {
      touched.push_back(ref.source);
    }
  }
  // A remote source whose filter was edited moves to the end of the list.
  std::vector<FtpSource> reordered;
  for (int s = 0; s < static_cast<int>(profile_.remoteSources.size()); ++s) {
    if (std::find(touched.begin(), touched.end(), s) == touched.end()) {
      reordered.push_back(std::move(profile_.remoteSources[static_cast<std::size_t>(s)]));
    }
  }
  for (int s : touched) reordered.push_back(std::move(profile_.remoteSources[static_cast<std::size_t>(s)]));
  profile_.remoteSources = std::move(reordered);
  Rebuild();
}

void CBackupSourceDlg::OnRemoveSelected() {
  std::vector<ItemRef> refs = SelectedRefs();
  // From the last to the first, so the indexes still to go stay valid.
  std::sort(refs.begin(), refs.end(), [](ItemRef a, ItemRef b) { return b < a; });
  for (ItemRef ref : refs) {
    std::vector<SourceItem>& items = ItemsOf(ref);
    items.erase(items.begin() + ref.item);
  }
  // An account left with nothing to back up is no source any more.
  std::erase_if(profile_.remoteSources, [](const FtpSource& source) { return source.items.empty(); });
  Rebuild();
}

void CBackupSourceDlg::OnRemoveAll() {
  if (services_.prompts.AskYesNo(UiString(IDS_SOURCE_REMOVE_ALL_ASK).toStdString()) != UserPrompts::Answer::Yes) {
    return;
  }
  profile_.localSources.clear();
  profile_.remoteSources.clear();
  Rebuild();
}

void CBackupSourceDlg::OnViewInfo() {
  std::vector<ItemRef> local = SelectedRefs();
  std::erase_if(local, [](ItemRef ref) { return ref.source >= 0; });
  if (local.empty()) return;
  std::error_code error;
  if (local.size() == 1 && !std::filesystem::is_directory(ItemAt(local.front()).path, error)) {
    CFileInfoDlg dialog(ItemAt(local.front()).path, this);
    dialog.exec();
    return;
  }
  const auto folders = std::count_if(local.begin(), local.end(), [this](ItemRef ref) { return IsFolder(ItemAt(ref)); });
  CItemsInfoDlg dialog(static_cast<int>(folders), static_cast<int>(local.size() - static_cast<std::size_t>(folders)),
                       this);
  dialog.exec();
}

void CBackupSourceDlg::accept() {
  profile_.hasSources = !profile_.localSources.empty() || !profile_.remoteSources.empty();
  QDialog::accept();
}

void CBackupSourceDlg::reject() { accept(); }

}  // namespace tarnwick::ui
