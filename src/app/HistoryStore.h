// Per-user store of the history lists: sections of named string values. The desktop program backs
// it with QSettings; headless runs and tests use an INI file.
#pragma once

#include <optional>
#include <string>

namespace tarnwick {

class HistoryStore {
 public:
  virtual ~HistoryStore() = default;
  virtual std::optional<std::string> GetString(const std::string& section, const std::string& key) = 0;
  virtual void SetString(const std::string& section, const std::string& key, const std::string& value) = 0;
  virtual void RemoveKey(const std::string& section, const std::string& key) = 0;
};

}  // namespace tarnwick
