// "Choose Folders/Files to Backup": the profile's local and remote items in one list, with adding,
// removing, filters and information. Works on the profile directly; the list is rebuilt after every
// change, in the view chosen and the sort order the user clicked, both kept by the editor across
// openings.
#pragma once

#include <QDialog>
#include <vector>

#include "profiles/Profile.h"
#include "ui/EditorServices.h"

class QMenu;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarnwick::ui {

// The list's view and sort order, kept by the profile editor while it is open.
struct SourceListState {
  enum View { kAll = 0, kFolders = 1, kFiles = 2 };
  int view = kAll;
  int sortColumn = -1;  // -1: in the profile's order
  Qt::SortOrder sortOrder = Qt::AscendingOrder;
};

class CBackupSourceDlg : public QDialog {
  Q_OBJECT
 public:
  enum Column { kPathColumn, kFilterColumn };
  // The context menu's items, in menu order.
  enum MenuItem { kRemoveSelected, kEditFilter, kViewInfo, kRemoveAll, kMenuItemCount };

  CBackupSourceDlg(Profile& profile, SourceListState& state, EditorServices& services, QWidget* parent = nullptr);

  void OnAddFolder();
  void OnAddFiles();
  void OnAddRemote();
  void OnEditFilter();
  void OnRemoveSelected();
  void OnRemoveAll();
  void OnViewInfo();
  void SetView(int view);
  // The context menu with its items enabled for the selection.
  QMenu* ContextMenu();
  QAction* MenuAction(MenuItem item) const { return actions_[item]; }

  // The dialog has only "O&K": Esc and the close box end it the same way, so what the list shows is
  // always what the profile holds.
  void accept() override;
  void reject() override;

  QTreeWidget* List() const { return list_; }
  QPushButton* EditFilterButton() const { return editFilter_; }
  QRadioButton* ViewRadio(int view) const { return views_[view]; }

 private:
  // Where a row's item lies: a local item, or an item of a remote source.
  struct ItemRef {
    int source;  // -1 for a local item
    int item;
    auto operator<=>(const ItemRef&) const = default;
  };
  void Rebuild();
  void AddRow(const QString& path, const SourceItem& item, ItemRef ref, int image);
  std::vector<ItemRef> SelectedRefs() const;
  // The list that holds the item, and the item (the profile is the dialog's to change).
  std::vector<SourceItem>& ItemsOf(ItemRef ref) const;
  SourceItem& ItemAt(ItemRef ref) const;
  bool SelectionHasFolder() const;
  bool SelectionHasLocal() const;
  void UpdateEnabling();

  Profile& profile_;
  SourceListState& state_;
  EditorServices& services_;
  QTreeWidget* list_;
  QPushButton* editFilter_;
  QRadioButton* views_[3];
  QMenu* menu_;
  QAction* actions_[kMenuItemCount];
};

}  // namespace tarnwick::ui
