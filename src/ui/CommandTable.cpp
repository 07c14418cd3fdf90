#include "ui/CommandTable.h"

#include <algorithm>
#include <iterator>

namespace tarnwick::ui {
namespace {

constexpr Command kCommands[] = {
    {ID_VIEW_CUSTOMIZE, "&Customize...", "", "", false},
    {ID_VIEW_CAPTION_BAR, "&Caption Bar", "", "", true},
    {ID_BACKUP_SCHEDULED, "Scheduled &Backup...", "Ctrl+N", "new-scheduled", false},
    {ID_BACKUP_QUICK, "&Quick Backup...", "Ctrl+Q", "new-quick", false},
    {ID_TOOLS_OPTIONS, "Options...", "Ctrl+O", "options", false},
    {ID_BACKUP_STOP, "&Stop Backup", "Ctrl+S", "stop", false},
    {ID_QUICK_DELETE, "&Delete Profile(s)", "", "delete", false},
    {ID_QUICK_RENAME, "&Rename", "", "rename", false},
    {ID_QUICK_LAUNCH, "&Lanch...", "", "run", false},
    {ID_SCHEDULED_SETTINGS, "Backup &Settings..", "", "edit", false},
    {ID_SCHEDULED_DELETE, "&Delete Profile(s)", "", "delete", false},
    {ID_SCHEDULED_RENAME, "&Rename", "", "rename", false},
    {ID_LOG_OPEN, "&Open...", "", "open-log", false},
    {ID_LOG_SAVE, "&Save", "", "save-log", false},
    {ID_LOG_CLEAR, "Clear", "", "clear-log", false},
    {ID_HELP_MANUAL, "User &Manual", "F1", "help", false},
    {ID_HELP_WEB, "Tarnwick on the &Web...", "", "", false},
    {ID_QUICK_EDIT, "&Edit...", "", "edit", false},
    {ID_APP_ABOUT, "&About Tarnwick", "", "about", false},
    {ID_APP_EXIT, "E&xit", "", "exit", false},
    {ID_VIEW_TOOLBAR, "Standard Toolbar", "", "", true},
    {ID_VIEW_STATUS_BAR, "&Status Bar", "", "", true},
    {ID_SCHEDULED_RUN_NOW, "Run &Now", "Ctrl+R", "run", false},
};

constexpr unsigned kFileMenu[] = {ID_APP_EXIT};
constexpr unsigned kViewMenu[] = {ID_VIEW_TOOLBARS, ID_VIEW_STATUS_BAR};
constexpr unsigned kBackupMenu[] = {ID_BACKUP_QUICK, ID_BACKUP_SCHEDULED, kSeparator, ID_SCHEDULED_RUN_NOW,
                                    ID_BACKUP_STOP};
constexpr unsigned kLogMenu[] = {ID_LOG_OPEN, ID_LOG_SAVE, ID_LOG_CLEAR};
constexpr unsigned kToolsMenu[] = {ID_TOOLS_OPTIONS};
constexpr unsigned kHelpMenu[] = {ID_HELP_MANUAL, kSeparator, ID_HELP_WEB, kSeparator, ID_APP_ABOUT};

constexpr MenuSpec kMainMenu[] = {
    {"&File", kFileMenu}, {"&View", kViewMenu},   {"&Backup", kBackupMenu},
    {"&Log", kLogMenu},   {"&Tools", kToolsMenu}, {"&Help", kHelpMenu},
};

constexpr unsigned kToolbarMenu[] = {ID_VIEW_TOOLBAR, ID_VIEW_CAPTION_BAR, kSeparator, ID_VIEW_CUSTOMIZE};

constexpr unsigned kToolbarButtons[] = {
    ID_BACKUP_QUICK, ID_BACKUP_SCHEDULED, ID_SCHEDULED_RUN_NOW, ID_BACKUP_STOP, kSeparator,   ID_LOG_OPEN, ID_LOG_SAVE,
    ID_LOG_CLEAR,    kSeparator,          ID_TOOLS_OPTIONS,     kSeparator,     ID_APP_ABOUT, ID_APP_EXIT,
};

constexpr PopupItem kQuickPopup[] = {
    {ID_QUICK_LAUNCH, "&Lanch..."},
    {ID_QUICK_EDIT, "&Edit..."},
    {kSeparator, ""},
    {ID_QUICK_DELETE, "&Delete Profile(s)"},
    {kSeparator, ""},
    {ID_QUICK_RENAME, "&Rename"},
};
constexpr PopupItem kScheduledPopup[] = {
    {ID_SCHEDULED_SETTINGS, "Backup &Settings.."},
    {ID_SCHEDULED_RUN_NOW, "Run &Now"},
    {kSeparator, ""},
    {ID_SCHEDULED_DELETE, "&Delete Profile(s)"},
    {kSeparator, ""},
    {ID_SCHEDULED_RENAME, "&Rename"},
};
constexpr PopupItem kLogPopup[] = {
    {ID_LOG_OPEN, "&Open..."}, {kSeparator, ""}, {ID_LOG_SAVE, "&Save"}, {kSeparator, ""}, {ID_LOG_CLEAR, "&Clear"},
};

}  // namespace

std::span<const Command> Commands() { return kCommands; }

const Command* FindCommand(unsigned id) {
  const auto* it =
      std::find_if(std::begin(kCommands), std::end(kCommands), [id](const Command& c) { return c.id == id; });
  return it == std::end(kCommands) ? nullptr : it;
}

std::span<const MenuSpec> MainMenu() { return kMainMenu; }
std::span<const unsigned> ToolbarMenu() { return kToolbarMenu; }
std::span<const unsigned> ToolbarButtons() { return kToolbarButtons; }
std::span<const PopupItem> QuickListPopup() { return kQuickPopup; }
std::span<const PopupItem> ScheduledListPopup() { return kScheduledPopup; }
std::span<const PopupItem> LogListPopup() { return kLogPopup; }

}  // namespace tarnwick::ui
