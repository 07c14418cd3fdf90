// The window's own state between runs, in QSettings (organisation and application "Tarnwick",
// section "Settings"): geometry, toolbar placement, the caption and status bars, and the user's
// toolbar and key customisation.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QKeySequence>
#include <QList>

namespace tarnwick::ui {

struct WindowSettings {
  QByteArray geometry;
  QByteArray state;  // toolbar placement and visibility
  bool captionBarVisible = true;
  bool statusBarVisible = true;
  QList<unsigned> hiddenButtons;            // toolbar buttons by command number
  QHash<unsigned, QKeySequence> shortcuts;  // keys that differ from the defaults

  // False when nothing was stored yet (the defaults stay).
  bool Load();
  void Save() const;
};

}  // namespace tarnwick::ui
