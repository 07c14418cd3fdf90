#include "ui/EditorServices.h"

#include <QFileDialog>

#include "ui/UiStrings.h"

namespace tarnwick::ui {

std::optional<std::string> QtFileChooser::ChooseFolder(QWidget* parent, const QString& title) {
  const QString folder = QFileDialog::getExistingDirectory(parent, title);
  if (folder.isEmpty()) return std::nullopt;
  return folder.toStdString();
}

std::vector<std::string> QtFileChooser::ChooseFiles(QWidget* parent) {
  std::vector<std::string> paths;
  for (const QString& path : QFileDialog::getOpenFileNames(parent, {}, {}, UiString(IDS_SOURCE_FILES_FILTER))) {
    paths.push_back(path.toStdString());
  }
  return paths;
}

}  // namespace tarnwick::ui
