#include "ui/HistoryComboBox.h"

#include <QLineEdit>

namespace tarnwick::ui {

CHistoryComboBox::CHistoryComboBox(HistoryStore& store, QWidget* parent) : QComboBox(parent), list_(store) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  // Typing clears the choice of an entry; choosing one then selects it again (the edit text has
  // changed to the entry's before `activated` arrives).
  connect(this, &QComboBox::editTextChanged, this, [this](const QString& text) {
    if (!mirroring_) list_.SetEditText(text.toStdString());
  });
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (!mirroring_) list_.Select(index);
  });
}

void CHistoryComboBox::Load(const char* section) {
  list_.Load(section, kHistoryKeyPrefix, /*rememberLast=*/true);
  Mirror();
}

void CHistoryComboBox::Save() {
  list_.SetEditText(currentText().toStdString());
  (void)list_.Save(/*addCurrent=*/true);  // not reported, as the header says
  Mirror();
}

void CHistoryComboBox::Add(const QString& text) {
  list_.Add(text.toStdString());
  Mirror();
}

void CHistoryComboBox::Mirror() {
  mirroring_ = true;
  clear();
  for (const std::string& entry : list_.Entries()) addItem(QString::fromStdString(entry));
  setCurrentIndex(list_.Selection());
  setEditText(QString::fromStdString(list_.EditText()));
  mirroring_ = false;
}

}  // namespace tarnwick::ui
