#include "ui/ProfileEditorLauncher.h"

#include "app/UserPrompts.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

// Until the profile editor joins the build, its commands say that it is not there.
class MissingEditorLauncher : public ProfileEditorLauncher {
 public:
  void OpenEditor(QWidget*, const ProfileEditorRequest&, ProfileEditorContext& context) override {
    context.prompts.ShowMessage(UiString(IDS_EDITOR_MISSING).toStdString());
  }
};

}  // namespace

std::unique_ptr<ProfileEditorLauncher> MakeProfileEditorLauncher() { return std::make_unique<MissingEditorLauncher>(); }

}  // namespace tarnwick::ui
