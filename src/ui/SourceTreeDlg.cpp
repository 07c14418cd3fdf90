#include "ui/SourceTreeDlg.h"

#include <QDialogButtonBox>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <vector>

#include "ui/GuiPost.h"
#include "ui/Icons.h"
#include "ui/SourceTree.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {

CSourceTreeDlg::CSourceTreeDlg(const Profile& profile, QWidget* parent, std::size_t maxNodes)
    : QDialog(parent), tree_(new QTreeWidget(this)), maxNodes_(maxNodes) {
  setWindowTitle(UiString(IDS_TREE_CAPTION));
  tree_->setHeaderHidden(true);
  tree_->setIconSize(QSize(16, 16));
  tree_->setUniformRowHeights(true);
  tree_->setCursor(Qt::WaitCursor);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(UiString(IDS_OK_AMP), QDialogButtonBox::AcceptRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(UiString(IDS_TREE_PROMPT), this));
  layout->addWidget(tree_);
  layout->addWidget(buttons);
  resize(460, 420);

  QPointer<CSourceTreeDlg> self(this);
  gatherer_ = std::thread([self, profile, maxNodes, stop = &stop_] {
    SourceTree tree = BuildSourceTree(profile, maxNodes, stop);
    PostToGui(self, [tree = std::move(tree)](CSourceTreeDlg& dialog) { dialog.Show(tree); });
  });
}

CSourceTreeDlg::~CSourceTreeDlg() {
  stop_ = true;
  gatherer_.join();
}

void CSourceTreeDlg::Show(const SourceTree& tree) {
  tree_->setUpdatesEnabled(false);
  // One icon per pair of images, drawn once: a tree may hold a hundred thousand rows.
  QHash<std::pair<int, int>, QIcon> icons;
  const auto iconOf = [&icons](int image, int selectedImage) {
    auto found = icons.find({image, selectedImage});
    if (found != icons.end()) return *found;
    QIcon icon;
    icon.addPixmap(ItemIcon(image).pixmap(16, 16), QIcon::Normal);
    icon.addPixmap(ItemIcon(selectedImage).pixmap(16, 16), QIcon::Selected);
    return *icons.insert({image, selectedImage}, icon);
  };
  std::vector<QTreeWidgetItem*> items;
  items.reserve(tree.nodes.size());
  for (const SourceTreeNode& node : tree.nodes) {
    auto* item = node.parent < 0 ? new QTreeWidgetItem(tree_) : new QTreeWidgetItem(items[node.parent]);
    item->setText(0, QString::fromStdString(node.text));
    item->setIcon(0, iconOf(node.image, node.selectedImage));
    items.push_back(item);
  }
  if (tree.cut) new QTreeWidgetItem(tree_, QStringList(UiString(IDS_TREE_CUT).arg(maxNodes_)));
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) tree_->topLevelItem(i)->setExpanded(true);
  tree_->setUpdatesEnabled(true);
  tree_->unsetCursor();
  ready_ = true;
}

}  // namespace tarnwick::ui
