// The small questions the main view asks through the platform's dialogs: which log file to open or
// save, and a profile's new name. Tests answer them without windows.
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace tarnwick::ui {

class UiDialogs {
 public:
  virtual ~UiDialogs() = default;
  // The file chosen in the open-file dialog ("All Files (*.log)", must exist); nullopt when cancelled.
  virtual std::optional<std::string> ChooseLogToOpen(QWidget* parent) = 0;
  // The name chosen in the save-file dialog (asks before replacing); nullopt when cancelled.
  virtual std::optional<std::string> ChooseLogToSave(QWidget* parent) = 0;
  // The "Rename a Profile" dialog preset with `current`; nullopt when cancelled.
  virtual std::optional<std::string> AskProfileName(QWidget* parent, const std::string& current) = 0;
};

// The dialogs of the platform.
class QtDialogs : public UiDialogs {
 public:
  std::optional<std::string> ChooseLogToOpen(QWidget* parent) override;
  std::optional<std::string> ChooseLogToSave(QWidget* parent) override;
  std::optional<std::string> AskProfileName(QWidget* parent, const std::string& current) override;
};

}  // namespace tarnwick::ui
