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
inline constexpr const char* kIconUpFolder = "up-folder";

// The row images of the source lists, the summary tree and the remote browser, by their index.
enum ItemImage : int {
  kImageFolder = 0,
  kImageFolderOpen = 1,
  kImageFile = 2,
  kImageParent = 3,
  kImageFolderAdded = 4,
  kImageFileAdded = 5,
  kImageRemoteFolder = 6,
  kImageRemoteFolderOpen = 7,
  kImageHost = 8,
};

// The image `index` of the strip above; a null icon for another index.
QIcon ItemIcon(int index);

// The image of a ping line of kind 0 (error), 1 (header), 2 (reply) or 3 (time-out).
QIcon PingLineIcon(int kind);

// The icon `name` (resources/icons/<name>.svg); a null icon for an unknown name.
QIcon ProgramIcon(const char* name);

// The splash picture (resources/splash.svg) drawn at its own size, with the transparent colour
// (magenta) exact at every edge of the shape.
QImage SplashPicture();

}  // namespace tarnwick::ui
