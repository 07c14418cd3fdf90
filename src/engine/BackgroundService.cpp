#include "engine/BackgroundService.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <tuple>

#include "app/ChildProcess.h"
#include "app/ProgramFolder.h"
#include "app/StringTable.h"
#include "app/Utf8Text.h"
#include "engine/MonitorUnitTemplate.h"
#include "engine/UnitQuoting.h"
#include "formats/PartFile.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCliName = "tarnwick-cli";

// This user's name from the user database; empty when it has no entry.
std::string UserDatabaseName() {
  struct passwd record {};
  struct passwd* entry = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::getuid(), &record, buffer, sizeof buffer, &entry) != 0 || entry == nullptr) return {};
  return entry->pw_name;
}

void ReplaceAll(std::string& text, const std::string& marker, const std::string& value) {
  for (auto at = text.find(marker); at != std::string::npos; at = text.find(marker, at + value.size())) {
    text.replace(at, marker.size(), value);
  }
}

// The tarnwick-cli the service must start: the one beside this program's own file (this very
// program for tarnwick-cli itself), by the path it was started with when that is the same file (a
// link into a program folder keeps that folder's catalogue). Without one beside it, the program
// folder's. Empty when there is none.
fs::path CliToStart() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  const fs::path beside = ec ? fs::path() : self.parent_path() / kCliName;
  fs::path started = fs::absolute(ProgramFolder() / kCliName, ec).lexically_normal();
  const bool besideExists = !beside.empty() && fs::exists(beside, ec);
  if (fs::exists(started, ec) && (!besideExists || fs::equivalent(started, beside, ec))) return started;
  return besideExists ? beside : fs::path();
}

// The last line systemctl wrote, as one readable line.
std::string LastWords(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  const auto lineStart = text.rfind('\n');
  if (lineStart != std::string::npos) text.erase(0, lineStart + 1);
  return ReadableUtf8(text, false);
}

}  // namespace

fs::path CBackgroundService::UserUnitFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return fs::path(config) / "systemd/user";
  const fs::path home = UserHomeFolder();
  return home.empty() ? fs::path() : home / ".config/systemd/user";
}

fs::path CBackgroundService::UnitPath() {
  const fs::path folder = UserUnitFolder();
  return folder.empty() ? folder : folder / kUnitName;
}

std::string CBackgroundService::UnitText(std::string* problem) {
  const fs::path cli = CliToStart();
  if (cli.empty()) {
    *problem = FormatString(IDS_SERVICE_NO_CLI, (ProgramFolder() / kCliName).c_str());
    return {};
  }
  std::error_code ec;
  const std::string program = cli.string();
  const std::string folder = fs::absolute(DataFolder(), ec).lexically_normal().string();
  for (const auto& [path, use, what] : {std::tuple{program, UnitPathUse::Command, IDS_SERVICE_PROGRAM_PATH},
                                        std::tuple{folder, UnitPathUse::WorkingDirectory, IDS_SERVICE_DATA_FOLDER}}) {
    if (const std::string reason = UnitPathProblem(path, use); !reason.empty()) {
      *problem =
          FormatString(IDS_SERVICE_UNIT_PATH, LoadString(what), ReadableUtf8(path, false).c_str(), reason.c_str());
      return {};
    }
  }
  std::string text = kMonitorUnitTemplate;
  ReplaceAll(text, "@MONITOR_EXEC@", UnitCommandPath(program));
  ReplaceAll(text, "@MONITOR_DIR@", UnitDirectoryValue(folder));
  return text;
}

Status CBackgroundService::WriteUnit(fs::path* written) {
  const fs::path folder = UserUnitFolder();
  if (folder.empty()) return Status::InvalidArgument(LoadString(IDS_SERVICE_NO_HOME));
  std::string problem;
  const std::string text = UnitText(&problem);
  if (text.empty()) return Status::InvalidArgument(problem);
  std::error_code ec;
  fs::create_directories(folder, ec);
  const fs::path unit = folder / kUnitName;
  if (const IoResult result = ReplaceFile(unit.string(), text, 0644); !result.ok()) {
    return Status::IoError(unit.string(), result.sysError);
  }
  *written = unit;
  return {};
}

Status CBackgroundService::Enable() {
  std::string complaint;
  int status = RunProgramForErrors({"systemctl", "--user", "daemon-reload"}, &complaint);
  if (status == 0) status = RunProgramForErrors({"systemctl", "--user", "enable", "--now", kUnitName}, &complaint);
  if (status == 0) return {};
  // No words at all: systemctl is missing or said nothing; its status then tells.
  std::string words = LastWords(complaint);
  if (words.empty()) words = status == 127 ? "systemctl could not be run" : "exit status " + std::to_string(status);
  return Status::Refused(FormatString(IDS_SERVICE_SYSTEMD_REFUSED, words.c_str(), kUnitName));
}

Status CBackgroundService::Install(fs::path* written) {
  if (Status wrote = WriteUnit(written); !wrote.ok()) return wrote;
  return Enable();
}

bool CBackgroundService::WillRunSchedules() {
  const fs::path unit = UnitPath();
  std::error_code ec;
  if (unit.empty() || !fs::exists(unit, ec)) return false;
  std::string ignored;
  return RunProgramForErrors({"systemctl", "--user", "is-active", "--quiet", kUnitName}, &ignored) == 0 ||
         RunProgramForErrors({"systemctl", "--user", "is-enabled", "--quiet", kUnitName}, &ignored) == 0;
}

int CBackgroundService::Systemctl(const std::vector<std::string>& args, std::string* out) {
  std::vector<std::string> command{"systemctl", "--user"};
  command.insert(command.end(), args.begin(), args.end());
  return RunProgram(command, out);
}

std::string CBackgroundService::UserName() {
  const std::string name = UserDatabaseName();
  return name.empty() ? std::to_string(::getuid()) : name;
}

bool CBackgroundService::LingerOn() {
  std::error_code ec;
  return fs::exists(fs::path("/var/lib/systemd/linger") / UserName(), ec);
}

}  // namespace tarnwick
