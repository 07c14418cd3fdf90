// The commands of the main window: their numbers, menu texts, keys and icons, and the order of the
// menus and the toolbar. The window builds its actions from these tables; the status prompts and
// tooltips are in the string table under the command's number.
#pragma once

#include <span>

namespace tarnwick::ui {

enum CommandId : unsigned {
  ID_VIEW_CUSTOMIZE = 32770,
  ID_VIEW_TOOLBARS = 32771,  // the Toolbars submenu
  ID_VIEW_CAPTION_BAR = 32816,
  ID_BACKUP_SCHEDULED = 32827,
  ID_BACKUP_QUICK = 32828,
  ID_TOOLS_OPTIONS = 32829,
  ID_BACKUP_STOP = 32835,
  ID_QUICK_DELETE = 32836,
  ID_QUICK_RENAME = 32837,
  ID_QUICK_LAUNCH = 32841,
  ID_SCHEDULED_SETTINGS = 32842,
  ID_SCHEDULED_DELETE = 32843,
  ID_SCHEDULED_RENAME = 32844,
  ID_LOG_OPEN = 32846,
  ID_LOG_SAVE = 32847,
  ID_LOG_CLEAR = 32848,
  ID_HELP_MANUAL = 32850,
  ID_HELP_WEB = 32851,
  ID_QUICK_EDIT = 32870,
  ID_APP_ABOUT = 57664,
  ID_APP_EXIT = 57665,
  ID_VIEW_TOOLBAR = 59392,
  ID_VIEW_STATUS_BAR = 59393,
  ID_SCHEDULED_RUN_NOW = 63300,
};

// A separator in a menu or toolbar list.
inline constexpr unsigned kSeparator = 0;

struct Command {
  unsigned id;
  const char* menuText;  // with its mnemonic; the key is shown from `shortcut`
  const char* shortcut;  // portable key text ("Ctrl+Q"); empty for none
  const char* icon;      // resource icon name; empty for none
  bool checkable;
};

// Every command of the main window and its popups, in number order.
std::span<const Command> Commands();
const Command* FindCommand(unsigned id);

struct MenuSpec {
  const char* title;
  std::span<const unsigned> items;  // command numbers; kSeparator; ID_VIEW_TOOLBARS is the submenu
};

// The menu bar, the items of the toolbar menu (View > Toolbars and the toolbar's context menu),
// and the toolbar's buttons, in order.
std::span<const MenuSpec> MainMenu();
std::span<const unsigned> ToolbarMenu();
std::span<const unsigned> ToolbarButtons();

// The context menus of the three lists: their own texts for commands of the main window's numbers.
struct PopupItem {
  unsigned id;  // kSeparator for a separator
  const char* text;
};
std::span<const PopupItem> QuickListPopup();
std::span<const PopupItem> ScheduledListPopup();
std::span<const PopupItem> LogListPopup();

}  // namespace tarnwick::ui
