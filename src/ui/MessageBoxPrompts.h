// The core's questions and messages as message boxes over the window, or over the dialog open in
// front of it. A call from another thread waits while the window's thread shows the box.
#pragma once

#include <QPointer>
#include <QWidget>

class QInputDialog;

#include "app/UserPrompts.h"

namespace tarnwick::ui {

class MessageBoxPrompts : public UserPrompts {
 public:
  explicit MessageBoxPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const std::string& text, const std::string& title = {}) override;
  Answer AskYesNo(const std::string& text, bool defaultNo = false) override;
  bool AskSecret(const std::string& text, std::string& secret) override;
  // The dialog AskSecret shows: `text` over a field that shows no characters.
  static QInputDialog* NewSecretDialog(const std::string& text, QWidget* parent);

 private:
  QWidget* Owner() const;

  QPointer<QWidget> parent_;
};

}  // namespace tarnwick::ui
