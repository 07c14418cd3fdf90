// The program's pictures, drawn from the SVG sources built into the program.
#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>

namespace tarnwick::ui {

inline constexpr const char* kIconTarnwick = "tarnwick";
inline constexpr const char* kIconQuickProfile = "quick-profile";
inline constexpr const char* kIconScheduledProfile = "scheduled-profile";
inline constexpr const char* kIconLog = "log";
inline constexpr const char* kIconHelp = "help";

// The icon `name` (resources/icons/<name>.svg); a null icon for an unknown name.
QIcon ProgramIcon(const char* name);

// The splash picture (resources/splash.svg) drawn at its own size, with the transparent colour
// (magenta) exact at every edge of the shape.
QImage SplashPicture();

}  // namespace tarnwick::ui
