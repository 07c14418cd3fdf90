// tarnwick-cli list: both profile lists as the desktop program shows them.
#include <cstdio>
#include <string>
#include <vector>

#include "app/Clock.h"
#include "app/ConsolePrompts.h"
#include "app/ControlCharacters.h"
#include "cli/CliCommand.h"
#include "profiles/ProfileCatalogue.h"

namespace tarnwick::cli {
namespace {

// Width on a terminal: UTF-8 continuation bytes take no column.
std::size_t DisplayWidth(const std::string& text) {
  std::size_t width = 0;
  for (unsigned char c : text) width += (c & 0xC0) != 0x80;
  return width;
}

void PrintTable(ProfileList list, const std::vector<ProfileRow>& rows) {
  std::vector<std::vector<std::string>> lines{ListColumns(list)};
  for (const ProfileRow& row : rows) {
    std::vector<std::string> cells = RowCells(list, row);
    for (std::string& cell : cells) cell = EscapeControlCharacters(cell);  // one profile, one line
    lines.push_back(std::move(cells));
  }
  std::vector<std::size_t> widths(lines.front().size(), 0);
  for (const auto& cells : lines) {
    for (std::size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(cells[i]));
  }
  std::printf("%s\n", ListTitle(list));
  for (const auto& cells : lines) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      line += cells[i];
      if (i + 1 < cells.size()) line += std::string(widths[i] - DisplayWidth(cells[i]) + 2, ' ');
    }
    std::printf("%s\n", line.c_str());
  }
}

int RunList(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "tarnwick-cli: list takes no arguments\n");
    return kExitCannotStart;
  }
  ConsolePrompts prompts(stderr);
  SystemClock clock;
  CProfileCatalogue catalogue(prompts, clock);
  // Files that cannot be read are named and the exit code says so; the other profiles are still listed.
  const Status loaded = catalogue.LoadCatalogue();
  if (!loaded.ok()) prompts.ShowMessage(loaded.ToString());
  PrintTable(ProfileList::Quick, catalogue.Rows(ProfileList::Quick));
  std::printf("\n");
  PrintTable(ProfileList::Scheduled, catalogue.Rows(ProfileList::Scheduled));
  return loaded.ok() ? kExitOk : kExitFailed;
}

const CliCommandRegistration registration({"list", "", "list the quick-launch and scheduled profiles", RunList});

}  // namespace
}  // namespace tarnwick::cli
