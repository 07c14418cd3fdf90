// Texts of the desktop program that the core's string table does not hold: the status-bar prompts
// and tooltips of the commands (numbered like their commands, "prompt\ntooltip") and the texts of
// the windows and dialogs. Other numbers fall through to the core's table.
#pragma once

#include <QString>

namespace tarnwick::ui {

enum UiStringId : unsigned {
  IDS_TOOLBAR_STANDARD = 101,
  IDS_PROGRESS_PLACEHOLDER = 112,
  IDS_ABOUT_PROMPT = 57664,  // the About command's prompt

  IDS_UI_FIRST = 62600,
  IDS_TAB_ACTIVITY_LOG = IDS_UI_FIRST,
  IDS_COL_TIMESTAMP,
  IDS_COL_ACTION,
  IDS_COL_DESCRIPTION,
  IDS_ABOUT_CAPTION,
  IDS_ABOUT_VERSION,
  IDS_ABOUT_WEB_LINK,
  IDS_ABOUT_MAIL_LINK,
  IDS_OPTIONS_CAPTION,
  IDS_OPTIONS_SHOW_SPLASH,
  IDS_OPTIONS_RUN_MISSED,
  IDS_OPTIONS_WRITE_FAILED,
  IDS_RENAME_CAPTION,
  IDS_RENAME_PROMPT,
  IDS_LOG_FILTER,
  IDS_CLOSE_WHILE_RUNNING,
  IDS_CUSTOMIZE_CAPTION,
  IDS_CUSTOMIZE_TOOLBAR_TAB,
  IDS_CUSTOMIZE_KEYBOARD_TAB,
  IDS_CUSTOMIZE_COMMAND,
  IDS_CUSTOMIZE_SHORTCUT,
  IDS_CUSTOMIZE_RESET,
  IDS_HELP_CAPTION,
  IDS_HELP_CONTENTS,
  IDS_HELP_BACK,
  IDS_HELP_FORWARD,
  IDS_HELP_MISSING,
  IDS_EDITOR_MISSING,
  IDS_UI_LAST,
};

// The text of `id` from this table or the core's; empty for an unknown number.
QString UiString(unsigned id);

// The parts of a command prompt: the status-bar text before "\n" and the tooltip after it.
QString PromptStatusText(const QString& prompt);
QString PromptToolTip(const QString& prompt);

}  // namespace tarnwick::ui
