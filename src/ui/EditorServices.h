// What the profile editor's dialogs work with besides the profile itself: the catalogue and the
// controller for saving and running, messages, the clock, the manual, the platform's file and
// folder choosers, the history store, and the network time-outs of the FTP dialogs.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Clock.h"
#include "app/HistoryStore.h"
#include "app/UserPrompts.h"
#include "ftp/FtpSession.h"

class QWidget;
class QString;

namespace tarnwick {
class CBackupController;
class CProfileCatalogue;
}  // namespace tarnwick

namespace tarnwick::ui {

// The folder and file choosers; tests answer them without windows.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The folder browser titled `title`, file-system folders only; nullopt when cancelled.
  virtual std::optional<std::string> ChooseFolder(QWidget* parent, const QString& title) = 0;
  // The open-file dialog, several existing files at once; empty when cancelled.
  virtual std::vector<std::string> ChooseFiles(QWidget* parent) = 0;
};

class QtFileChooser : public FileChooser {
 public:
  std::optional<std::string> ChooseFolder(QWidget* parent, const QString& title) override;
  std::vector<std::string> ChooseFiles(QWidget* parent) override;
};

struct EditorServices {
  CProfileCatalogue& catalogue;
  CBackupController& controller;
  UserPrompts& prompts;
  const Clock& clock;
  std::function<void(const std::string& topic)> showHelp;
  FileChooser& files;
  HistoryStore& history;
  FtpTimeouts ftpTimeouts{};  // of the remote browser's session and the login test
};

}  // namespace tarnwick::ui
