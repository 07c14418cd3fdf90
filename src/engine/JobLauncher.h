// What the schedule monitor needs of whoever runs jobs: whether one runs and which, the task rows,
// and a start that never asks the user anything. The scheduler host calls it on its own thread.
#pragma once

#include <string>

#include "app/Status.h"
#include "profiles/Profile.h"

namespace tarnwick {

class JobLauncher {
 public:
  virtual ~JobLauncher() = default;

  virtual bool IsBusy() const = 0;
  // The name of the profile whose job runs now; empty while idle. Any thread.
  virtual std::string RunningProfile() const = 0;
  // The separator row and "********** Task Name:  %s **********".
  virtual void LogTaskStart(const std::string& name) = 0;
  // Starts the job of `profile`; the status says why not (another job runs, the profile is
  // refused, no worker thread). Never prompts.
  virtual Status StartJob(const Profile& profile) = 0;
};

}  // namespace tarnwick
