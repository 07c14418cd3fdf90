#include "ui/ListSorting.h"

#include <QHeaderView>
#include <QTreeWidget>

namespace tarnwick::ui {

void SortOnHeaderClick(QTreeWidget* list, std::function<void(int column, Qt::SortOrder order)> sorted) {
  QHeaderView* header = list->header();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(false);
  QObject::connect(header, &QHeaderView::sectionClicked, list, [list, header, sorted = std::move(sorted)](int column) {
    const bool again = header->isSortIndicatorShown() && header->sortIndicatorSection() == column;
    const Qt::SortOrder order =
        again && header->sortIndicatorOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    ApplySort(list, column, order);
    if (sorted) sorted(column, order);
  });
}

void ApplySort(QTreeWidget* list, int column, Qt::SortOrder order) {
  if (column < 0) return;
  list->header()->setSortIndicatorShown(true);
  list->header()->setSortIndicator(column, order);
  list->sortItems(column, order);
}

}  // namespace tarnwick::ui
