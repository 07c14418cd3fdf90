#include "ui/ProfileListModel.h"

#include <algorithm>

#include "ui/Icons.h"

namespace tarnwick::ui {

CProfileListModel::CProfileListModel(ProfileList list, QObject* parent)
    : QAbstractTableModel(parent),
      list_(list),
      columns_(ListColumns(list)),
      icon_(ProgramIcon(list == ProfileList::Quick ? kIconQuickProfile : kIconScheduledProfile)) {}

bool CProfileListModel::SetRows(const std::vector<ProfileRow>& rows) {
  const bool sameNames = rows.size() == rows_.size() &&
                         std::equal(rows.begin(), rows.end(), rows_.begin(),
                                    [](const ProfileRow& a, const ProfileRow& b) { return a.name == b.name; });
  if (!sameNames) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
    return true;
  }
  rows_ = rows;
  if (!rows_.empty()) Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
  return false;
}

bool CProfileListModel::UpdateRow(const ProfileRow& row) {
  const auto it = std::find_if(rows_.begin(), rows_.end(), [&row](const ProfileRow& r) { return r.name == row.name; });
  if (it == rows_.end()) return false;
  *it = row;
  const int at = static_cast<int>(it - rows_.begin());
  Q_EMIT dataChanged(index(at, 0), index(at, columnCount() - 1));
  return true;
}

int CProfileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CProfileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant CProfileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::DecorationRole && index.column() == 0) return icon_;
  if (role != Qt::DisplayRole) return {};
  const std::vector<std::string> cells = RowCells(list_, Row(index.row()));
  const auto column = static_cast<std::size_t>(index.column());
  return column < cells.size() ? QString::fromStdString(cells[column]) : QString();
}

QVariant CProfileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) return {};
  return QString::fromStdString(columns_[static_cast<std::size_t>(section)]);
}

}  // namespace tarnwick::ui
