// The model of one profile list (quick-launch or scheduled): the catalogue's rows with their
// columns, and the profile icon on each name.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <vector>

#include "profiles/ProfileCatalogue.h"

namespace tarnwick::ui {

class CProfileListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kNameWidth = 200;
  static constexpr int kTimeWidth = 150;

  explicit CProfileListModel(ProfileList list, QObject* parent = nullptr);

  ProfileList List() const { return list_; }
  // Shows `rows`; rows with the same names in the same order only refresh their cells, so the
  // selection survives a reload that changed nothing but times. True when the rows were replaced.
  bool SetRows(const std::vector<ProfileRow>& rows);
  // Puts the times of `row` into the row of the same name; false (nothing changed) when there is
  // none.
  bool UpdateRow(const ProfileRow& row);
  const ProfileRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  ProfileList list_;
  std::vector<std::string> columns_;
  std::vector<ProfileRow> rows_;
  QIcon icon_;
};

}  // namespace tarnwick::ui
