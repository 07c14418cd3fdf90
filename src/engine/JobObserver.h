// Where a backup worker reports its current file and progress (the status bar of the desktop
// program, the progress line of the CLI). Called on the worker thread.
#pragma once

#include <string>

namespace tarnwick {

class JobObserver {
 public:
  virtual ~JobObserver() = default;
  virtual void OnStatusText(const std::string& text) = 0;
  virtual void OnClearStatus() = 0;
  virtual void OnProgress(long long position, long long range) = 0;
  virtual void OnResetProgress() = 0;
};

}  // namespace tarnwick
