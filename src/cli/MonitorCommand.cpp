// tarnwick-cli monitor: the schedule monitor without a window. Ticks once a second against the
// catalogue, launches due scheduled profiles one at a time and prints the log rows, until SIGINT
// or SIGTERM, which stop a running backup first.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/HeadlessSession.h"
#include "cli/StopSignals.h"
#include "engine/BackupController.h"
#include "profiles/Profile.h"
#include "profiles/ProfileCatalogue.h"

namespace tarnwick::cli {
namespace {

// The profile folder's modification time; profiles written by the desktop program or another
// tool change it, and the monitor then reloads the catalogue.
std::filesystem::file_time_type ProfileFolderStamp() {
  std::error_code ec;
  const auto stamp = std::filesystem::last_write_time(ProfileFolder(), ec);
  return ec ? std::filesystem::file_time_type::min() : stamp;
}

int RunMonitor(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "tarnwick-cli: monitor takes no arguments\n");
    return kExitCannotStart;
  }
  HeadlessSession session(::isatty(STDERR_FILENO) != 0);
  CBackupController& controller = session.controller;
  CProfileCatalogue& catalogue = session.catalogue;
  CScheduleMonitor& monitor = controller.Monitor();
  monitor.ReadRunMissedSetting();

  std::mutex mutex;
  std::condition_variable wake;
  bool quit = false;
  CStopSignals signals([&] {
    {
      std::lock_guard lock(mutex);
      quit = true;
    }
    wake.notify_all();
    controller.Stop();
  });

  // Profiles that cannot be read are named at each load; the others are still monitored.
  const auto reload = [&] {
    if (const Status loaded = catalogue.LoadCatalogue(); !loaded.ok()) session.prompts.ShowMessage(loaded.ToString());
  };
  auto folderStamp = ProfileFolderStamp();
  reload();
  std::fprintf(stderr, "tarnwick-cli: monitoring %zu scheduled profile(s) in %s; Ctrl-C ends\n",
               catalogue.ScheduleTable().size(), ProfileFolder().c_str());
  std::time_t last = session.clock.Now();
  for (;;) {
    {
      // Wake just after the next whole second.
      const auto next = std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now()) +
                        std::chrono::seconds(1) + std::chrono::milliseconds(5);
      std::unique_lock lock(mutex);
      if (wake.wait_until(lock, next, [&] { return quit; })) break;
    }
    // The rows are on stdout already; between runs the log lets them go, so a monitor that runs
    // for months does not keep every row it ever printed.
    if (!controller.IsBusy() && session.log.RowCount() > 0) session.log.Clear();
    const std::time_t now = session.clock.Now();
    const auto stamp = ProfileFolderStamp();
    if (stamp != folderStamp) {
      folderStamp = stamp;
      reload();
    }
    for (std::time_t t = FirstSecondToTick(last, now); t <= now; ++t) {
      if (monitor.OnTick(t)) {
        folderStamp = ProfileFolderStamp();  // the launch rewrote the profile and reloaded already
        break;
      }
    }
    last = now;
  }
  return kExitOk;  // the session stops a running backup and waits for it
}

const CliCommandRegistration registration(
    {"monitor", "", "run the schedule monitor without a window until Ctrl-C (launches due scheduled profiles)",
     RunMonitor});

}  // namespace
}  // namespace tarnwick::cli
