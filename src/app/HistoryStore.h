// Per-user store of the history lists: sections of named string values. The desktop program backs
// it with QSettings; headless runs and tests use an INI file.
#pragma once

#include <optional>
#include <string>

#include "app/Status.h"

namespace tarnwick {

class HistoryStore {
 public:
  virtual ~HistoryStore() = default;
  // The value, or nothing when the store holds none (or cannot be read).
  virtual std::optional<std::string> GetString(const std::string& section, const std::string& key) = 0;
  // Ok, or why the value could not be kept (the store's file, the system's reason).
  virtual Status SetString(const std::string& section, const std::string& key, const std::string& value) = 0;
  virtual Status RemoveKey(const std::string& section, const std::string& key) = 0;
};

}  // namespace tarnwick
