// The question before the program ends while enabled scheduled profiles have nothing else to run
// them: with the tray off and no background service, closing the window would stop every
// scheduled backup without a word. It offers the tray, the background service, or quitting anyway.
#pragma once

#include <functional>

class QWidget;

namespace tarnwick {
class CProfileCatalogue;
class UserPrompts;
}  // namespace tarnwick

namespace tarnwick::ui {

class CMainFrame;

// Runs `work` on a thread of its own and returns when it has ended. Meanwhile the window's thread
// goes on painting but takes no input, so a slow systemctl neither freezes the window nor lets it
// be closed twice. Call on the GUI thread.
void WaitOffThread(const std::function<void()>& work);

// Asked by the window's close guard before the program ends. True when it may end: no enabled
// scheduled profile, the background service will run them (asked off the window's thread), the
// service was installed now, or the user quits anyway. False keeps the program: cancelled, the
// window hidden into the tray (config.xml then keeps it there on every close), or an install that
// failed (its reason shown through `prompts`). The tray is offered only when `trayAvailable`.
bool LetSchedulesStop(const CProfileCatalogue& catalogue, CMainFrame& frame, UserPrompts& prompts, bool trayAvailable);

}  // namespace tarnwick::ui
