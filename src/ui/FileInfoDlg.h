// "File Information": name, folder, size, times and attributes of one local file, as the file
// system reports them. The attributes are derived from the file's mode: "Archive" always,
// "Read Only" when the owner may not write it, never "Hidden".
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QLineEdit;

namespace tarnwick::ui {

class CFileInfoDlg : public QDialog {
  Q_OBJECT
 public:
  enum Field { kName, kLocation, kSize, kCreated, kModified, kAccessed, kFieldCount };
  enum Attribute { kReadOnly, kHidden, kArchive, kAttributeCount };

  // Reads `path`; what cannot be read stays empty.
  explicit CFileInfoDlg(const std::string& path, QWidget* parent = nullptr);

  QLineEdit* FieldEdit(Field field) const { return fields_[field]; }
  QCheckBox* AttributeBox(Attribute attribute) const { return attributes_[attribute]; }

 private:
  QLineEdit* fields_[kFieldCount];
  QCheckBox* attributes_[kAttributeCount];
};

}  // namespace tarnwick::ui
