// Lists that sort by the column whose header is clicked (ascending first, a second click on the
// same column turns the order), and stay in their own order until the first click.
#pragma once

#include <Qt>
#include <functional>

class QTreeWidget;

namespace tarnwick::ui {

// Makes the headers of `list` clickable; `sorted` hears each new order.
void SortOnHeaderClick(QTreeWidget* list, std::function<void(int column, Qt::SortOrder order)> sorted = {});

// Sorts `list` by `column` (nothing for -1) and shows the order in its header.
void ApplySort(QTreeWidget* list, int column, Qt::SortOrder order);

}  // namespace tarnwick::ui
