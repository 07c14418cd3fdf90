#include "app/ConsolePrompts.h"

namespace tarnwick {

void ConsolePrompts::ShowMessage(const std::string& text, const std::string&) {
  std::fprintf(out_, "tarnwick-cli: %s\n", text.c_str());
  std::fflush(out_);
}

UserPrompts::Answer ConsolePrompts::AskYesNo(const std::string& text, bool) {
  std::fprintf(out_, "tarnwick-cli: %s [answered No]\n", text.c_str());
  std::fflush(out_);
  return Answer::No;
}

}  // namespace tarnwick
