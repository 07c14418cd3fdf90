// A hidden start option for the smoke test: `tarnwick --screenshot-tour FOLDER` runs the first
// quick profile (if any), saves pictures of each tab, the About box, the Options and Customize
// dialogs, the help window, every dialog of the profile editor and the splash screen into FOLDER,
// and ends the program.
#pragma once

#include <QString>
#include <QStringList>

namespace tarnwick::ui {

class CMainFrame;
class CTarnwickView;

// The folder given after --screenshot-tour; empty without the option.
QString ScreenshotTourFolder(const QStringList& arguments);
// The FTP server given after --tour-ftp ("user:password@host:port"), whose folders the profile
// editor's FTP dialogs show; empty without the option (those dialogs are left out then).
QString ScreenshotTourFtp(const QStringList& arguments);

// Starts the tour on the event loop; it quits the application when done.
void StartScreenshotTour(const QString& folder, CMainFrame& frame, CTarnwickView& view, const QString& ftp = {});

}  // namespace tarnwick::ui
