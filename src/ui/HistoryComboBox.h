// A combo box that remembers what was typed into it: the history list logic of the core, shown in
// an editable combo box whose list is never sorted (the most recent entry first).
#pragma once

#include <QComboBox>
#include <string>

#include "app/HistoryStore.h"
#include "ftp/HistoryList.h"

namespace tarnwick::ui {

class CHistoryComboBox : public QComboBox {
  Q_OBJECT
 public:
  CHistoryComboBox(HistoryStore& store, QWidget* parent = nullptr);

  // Reads the list of `section` and puts the text last left in the field back into it.
  void Load(const char* section);
  // Adds the field's text at the top and writes the list and the field's text to the store.
  // Failures of the store are not reported: a list that cannot be kept is simply not there next time.
  void Save();
  // Puts `text` at the top of the list and into the field.
  void Add(const QString& text);
  // The host an account recall looks up: the chosen entry, else the text typed.
  std::string CurrentEntry() const { return list_.CurrentText(); }
  const CHistoryList& List() const { return list_; }

 private:
  // Shows the list's entries, selection and field text.
  void Mirror();

  CHistoryList list_;
  bool mirroring_ = false;
};

}  // namespace tarnwick::ui
