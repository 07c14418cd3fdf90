// Where the main window opens the profile editor: "Quick Backup..." (Ctrl+Q), "Scheduled Backup..."
// (Ctrl+N), "Backup Settings.." and a double click on a scheduled row. The window hands over what
// the editor works with; the editor saves and launches through the catalogue and the controller
// and returns when it is closed, after which the window reloads the catalogue.
#pragma once

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace tarnwick {
class CBackupController;
class CProfileCatalogue;
class Clock;
class UserPrompts;
}  // namespace tarnwick

namespace tarnwick::ui {

enum class EditorMode { Quick, Scheduled };

struct ProfileEditorRequest {
  EditorMode mode = EditorMode::Quick;
  std::string profileName;  // the row's profile; empty for a new profile
};

// What the window lends the editor for the time it is open; all of it outlives the editor.
struct ProfileEditorContext {
  CProfileCatalogue& catalogue;   // SaveProfileAs, SaveProfile, StampLastRun
  CBackupController& controller;  // RunNow / MakeJob ("Backup Now")
  UserPrompts& prompts;           // message boxes owned by `parent`
  const Clock& clock;
  // Opens the manual at a topic ("Started/basicset.htm" for the editor's Help button).
  std::function<void(const std::string& topic)> showHelp;
};

class ProfileEditorLauncher {
 public:
  virtual ~ProfileEditorLauncher() = default;
  // Shows the editor modally over `parent` and returns when it is closed. Runs on the GUI thread.
  virtual void OpenEditor(QWidget* parent, const ProfileEditorRequest& request, ProfileEditorContext& context) = 0;
};

// The launcher of this build's profile editor.
std::unique_ptr<ProfileEditorLauncher> MakeProfileEditorLauncher();

}  // namespace tarnwick::ui
