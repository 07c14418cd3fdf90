#include "ui/ProfileEditorLauncher.h"

#include "engine/BackupController.h"
#include "profiles/Profile.h"
#include "profiles/ProfileCatalogue.h"
#include "ui/EditorServices.h"
#include "ui/ProfileDlg.h"
#include "ui/QtHistoryStore.h"

namespace tarnwick::ui {
namespace {

class DialogEditorLauncher : public ProfileEditorLauncher {
 public:
  void OpenEditor(QWidget* parent, const ProfileEditorRequest& request, ProfileEditorContext& context) override {
    QtFileChooser files;
    QtHistoryStore history;
    EditorServices services{
        context.catalogue, context.controller, context.prompts, context.clock, context.showHelp, files, history};
    Profile profile = CProfileDlg::NewProfile(context.clock.Now());
    if (!request.profileName.empty()) {
      if (const Status read = ReadProfile(ProfileFileOf(request.profileName), profile, context.clock.Now());
          !read.ok()) {
        context.prompts.ShowMessage(read.ToString());
        return;
      }
      // The list shows the file's name: the profile is saved under it again.
      profile.name = request.profileName;
      // The file keeps no "Anonymous" box: an FTP destination without user name and password is one.
      profile.anonymousLogin = !profile.destIsLocal && profile.ftpDest.user.empty() && profile.ftpDest.password.empty();
    }
    CProfileDlg dialog(services, request.mode == EditorMode::Scheduled, std::move(profile), parent);
    dialog.exec();
  }
};

}  // namespace

std::unique_ptr<ProfileEditorLauncher> MakeProfileEditorLauncher() { return std::make_unique<DialogEditorLauncher>(); }

}  // namespace tarnwick::ui
