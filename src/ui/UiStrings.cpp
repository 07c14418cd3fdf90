#include "ui/UiStrings.h"

#include <algorithm>
#include <iterator>

#include "app/StringTable.h"
#include "ui/CommandTable.h"

namespace tarnwick::ui {
namespace {

struct Entry {
  unsigned id;
  const char* text;
};

// Sorted by number.
constexpr Entry kEntries[] = {
    {IDS_TOOLBAR_STANDARD, "Standard"},
    {IDS_PROGRESS_PLACEHOLDER, " "},
    {ID_VIEW_CUSTOMIZE, "Customize toolbars ane menus.\nCustomize"},
    {ID_VIEW_CAPTION_BAR, "Show or hide the caption bar\nToggle Caption Bar"},
    {ID_BACKUP_SCHEDULED, "New Scheduled Backup\nScheduled Backup"},
    {ID_BACKUP_QUICK, "New Quick Backup Item\nQuick Backup"},
    {ID_TOOLS_OPTIONS, "Options\nOptions"},
    {ID_BACKUP_STOP, "Stop Running Backup\nStop Running Backup"},
    {ID_QUICK_DELETE, "Delete Selected Profiles Permanently\nDelete Selected Profiles Permanently"},
    {ID_QUICK_RENAME, "Rename selected profile\nRename selected profile"},
    {ID_QUICK_LAUNCH, "Lanch This Backup Task\nLanch This Backup Task"},
    {ID_SCHEDULED_SETTINGS, "Backup Settings...\nBackup Settings..."},
    {ID_SCHEDULED_DELETE, "Delete Selected Profiles Permanently\nDelete Selected Profiles Permanently"},
    {ID_SCHEDULED_RENAME, "Rename selected profile\nRename selected profile"},
    {ID_LOG_OPEN, "Open an existing log"},
    {ID_LOG_SAVE, "Save activity log to file"},
    {ID_LOG_CLEAR, "Clear log window"},
    {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    {ID_APP_EXIT, "Quit Tarnwick\nExit"},
    {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
    {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
    {IDS_TAB_ACTIVITY_LOG, "Activity Log"},
    {IDS_COL_TIMESTAMP, "Timestamp"},
    {IDS_COL_ACTION, "Action"},
    {IDS_COL_DESCRIPTION, "Description"},
    {IDS_ABOUT_CAPTION, "About Tarnwick"},
    {IDS_ABOUT_VERSION, "Tarnwick Version 1.1 build 0510"},
    {IDS_ABOUT_WEB_LINK, "Tarnwick on the Web"},
    {IDS_ABOUT_MAIL_LINK, "Write to Tarnwick support"},
    {IDS_OPTIONS_CAPTION, "Options"},
    {IDS_OPTIONS_SHOW_SPLASH, "Show splash screen at startup"},
    {IDS_OPTIONS_RUN_MISSED, "Run missed task "},
    {IDS_OPTIONS_WRITE_FAILED, "Cannot write \"%1\":\n%2"},
    {IDS_RENAME_CAPTION, "Rename a Profile"},
    {IDS_RENAME_PROMPT, "Enter a new profile name below:"},
    {IDS_LOG_FILTER, "All Files (*.log)"},
    {IDS_CLOSE_WHILE_RUNNING, "A backup job is still running.\nDo you want to stop it and exit?"},
    {IDS_CUSTOMIZE_CAPTION, "Customize"},
    {IDS_CUSTOMIZE_TOOLBAR_TAB, "Toolbar"},
    {IDS_CUSTOMIZE_KEYBOARD_TAB, "Keyboard"},
    {IDS_CUSTOMIZE_COMMAND, "Command"},
    {IDS_CUSTOMIZE_SHORTCUT, "Shortcut"},
    {IDS_CUSTOMIZE_RESET, "&Reset All"},
    {IDS_HELP_CAPTION, "Tarnwick Help"},
    {IDS_HELP_CONTENTS, "&Contents"},
    {IDS_HELP_BACK, "&Back"},
    {IDS_HELP_FORWARD, "&Forward"},
    {IDS_HELP_MISSING, "The manual cannot be found: \"%1\" does not exist."},
    {IDS_EDITOR_MISSING, "The profile editor is not part of this build."},
};

static_assert(std::is_sorted(std::begin(kEntries), std::end(kEntries),
                             [](const Entry& a, const Entry& b) { return a.id < b.id; }),
              "the table must stay sorted by number");

}  // namespace

QString UiString(unsigned id) {
  const auto* end = std::end(kEntries);
  const auto* it =
      std::lower_bound(std::begin(kEntries), end, id, [](const Entry& e, unsigned wanted) { return e.id < wanted; });
  if (it != end && it->id == id) return QString::fromUtf8(it->text);
  return QString::fromUtf8(LoadString(id));
}

QString PromptStatusText(const QString& prompt) { return prompt.section(QLatin1Char('\n'), 0, 0); }

QString PromptToolTip(const QString& prompt) {
  // A prompt without a tooltip part shows its status text as the tooltip: a button must say what
  // it does.
  return prompt.contains(QLatin1Char('\n')) ? prompt.section(QLatin1Char('\n'), 1, 1) : prompt;
}

}  // namespace tarnwick::ui
