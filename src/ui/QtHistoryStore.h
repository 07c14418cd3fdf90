// The history lists' store of the desktop program: the per-user QSettings of organisation and
// application "Tarnwick", one group per list.
#pragma once

#include "app/HistoryStore.h"

namespace tarnwick::ui {

class QtHistoryStore : public HistoryStore {
 public:
  // An empty value counts as absent, as the history lists never keep one.
  std::optional<std::string> GetString(const std::string& section, const std::string& key) override;
  // Written through at once; IoError with the settings file when it cannot be written.
  Status SetString(const std::string& section, const std::string& key, const std::string& value) override;
  Status RemoveKey(const std::string& section, const std::string& key) override;
};

}  // namespace tarnwick::ui
