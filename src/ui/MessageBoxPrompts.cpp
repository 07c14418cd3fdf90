#include "ui/MessageBoxPrompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QThread>
#include <memory>

namespace tarnwick::ui {
namespace {

QString Title(const std::string& title) {
  return title.empty() ? QStringLiteral("Tarnwick") : QString::fromStdString(title);
}

// Runs `f` on the GUI thread and waits for it.
template <typename F>
void OnGuiThread(F&& f) {
  if (QThread::currentThread() == qApp->thread()) {
    f();
  } else {
    QMetaObject::invokeMethod(qApp, std::forward<F>(f), Qt::BlockingQueuedConnection);
  }
}

}  // namespace

QWidget* MessageBoxPrompts::Owner() const {
  // Over the dialog the user is in (the profile editor and the dialogs it opens), else the window.
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return parent_;
}

void MessageBoxPrompts::ShowMessage(const std::string& text, const std::string& title) {
  OnGuiThread([&] { QMessageBox::information(Owner(), Title(title), QString::fromStdString(text)); });
}

UserPrompts::Answer MessageBoxPrompts::AskYesNo(const std::string& text, bool defaultNo) {
  QMessageBox::StandardButton pressed = QMessageBox::No;
  OnGuiThread([&] {
    pressed = QMessageBox::question(Owner(), Title({}), QString::fromStdString(text),
                                    QMessageBox::Yes | QMessageBox::No, defaultNo ? QMessageBox::No : QMessageBox::Yes);
  });
  return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QInputDialog* MessageBoxPrompts::NewSecretDialog(const std::string& text, QWidget* parent) {
  auto* dialog = new QInputDialog(parent);
  dialog->setObjectName(QStringLiteral("secretInput"));
  dialog->setWindowTitle(Title({}));
  dialog->setLabelText(QString::fromStdString(text));
  dialog->setTextEchoMode(QLineEdit::Password);
  return dialog;
}

bool MessageBoxPrompts::AskSecret(const std::string& text, std::string& secret) {
  bool given = false;
  OnGuiThread([&] {
    const std::unique_ptr<QInputDialog> dialog(NewSecretDialog(text, Owner()));
    given = dialog->exec() == QDialog::Accepted && !dialog->textValue().isEmpty();
    if (given) secret = dialog->textValue().toStdString();
  });
  return given;
}

}  // namespace tarnwick::ui
