// A HistoryStore kept in an INI file, for headless runs and tests. Each history list is a
// section; every change is written to the file at once.
#pragma once

#include <string>

#include "formats/IniFile.h"
#include "app/HistoryStore.h"

namespace tarnwick {

class IniHistoryStore : public HistoryStore {
 public:
  // Opens (or creates, readable by the owner only) the file at `path`. A file that cannot be
  // opened gives an empty store whose changes go nowhere, as an unreadable registry would.
  explicit IniHistoryStore(const std::string& path);

  bool IsOpen() const { return open_; }

  // An empty value counts as absent: the history lists never store one.
  std::optional<std::string> GetString(const std::string& section, const std::string& key) override;
  void SetString(const std::string& section, const std::string& key, const std::string& value) override;
  void RemoveKey(const std::string& section, const std::string& key) override;

 private:
  CIniFile ini_;
  bool open_ = false;
};

}  // namespace tarnwick
