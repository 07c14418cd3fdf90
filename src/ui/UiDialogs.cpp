#include "ui/UiDialogs.h"

#include <QFileDialog>
#include <filesystem>

#include "log/RunLogFile.h"

#include "ui/RenameDlg.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {

std::optional<std::string> QtDialogs::ChooseLogToOpen(QWidget* parent) {
  // The service's monthly run history is what a user opening a log after a night away looks for.
  std::error_code ec;
  const std::filesystem::path history = CRunLogFile::DefaultFolder();
  const QString start =
      std::filesystem::is_directory(history, ec) ? QString::fromStdString(history.string()) : QString();
  const QString path = QFileDialog::getOpenFileName(parent, {}, start, UiString(IDS_LOG_FILTER));
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

std::optional<std::string> QtDialogs::ChooseLogToSave(QWidget* parent) {
  const QString path = QFileDialog::getSaveFileName(parent, {}, {}, UiString(IDS_LOG_FILTER));
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

std::optional<std::string> QtDialogs::AskProfileName(QWidget* parent, const std::string& current) {
  CRenameDlg dialog(QString::fromStdString(current), parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.NewName().toStdString();
}

}  // namespace tarnwick::ui
