// A HistoryStore kept in an INI file, for headless runs and tests. Each history list is a
// section; every change is written to the file at once.
#pragma once

#include <functional>
#include <string>

#include "app/HistoryStore.h"
#include "formats/IniFile.h"

namespace tarnwick {

class IniHistoryStore : public HistoryStore {
 public:
  // Opens (or creates, readable by the owner only) the file at `path`. A file that cannot be
  // opened gives an empty store whose changes go nowhere, as an unreadable registry would; each
  // change then answers with the reason (OpenStatus()).
  explicit IniHistoryStore(const std::string& path);

  // Ok, or IoError with the file and the system's reason when it could not be opened.
  const Status& OpenStatus() const { return openStatus_; }

  // An empty value counts as absent: the history lists never store one. Every change is written
  // to the file at once, read again and written under the file's lock (formats/FileLock.h), so
  // processes sharing the file keep each other's changes; a failed write answers IoError with the
  // file and the system's reason. Values are read from what the last open or change read.
  std::optional<std::string> GetString(const std::string& section, const std::string& key) override;
  Status SetString(const std::string& section, const std::string& key, const std::string& value) override;
  Status RemoveKey(const std::string& section, const std::string& key) override;

 private:
  // Reloads the file under its lock, applies `change` to ini_ and saves.
  Status Update(const std::function<void()>& change);

  std::string path_;
  CIniFile ini_;
  Status openStatus_;
};

}  // namespace tarnwick
