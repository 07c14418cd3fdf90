#include "app/ConsolePrompts.h"

#include "app/ControlCharacters.h"

namespace tarnwick {

// Messages name files and profiles, whose names may hold any byte: a terminal gets them escaped.
void ConsolePrompts::ShowMessage(const std::string& text, const std::string&) {
  std::fprintf(out_, "tarnwick-cli: %s\n", EscapeControlCharactersInMessage(text).c_str());
  std::fflush(out_);
}

UserPrompts::Answer ConsolePrompts::AskYesNo(const std::string& text, bool) {
  std::fprintf(out_, "tarnwick-cli: %s [answered No]\n", EscapeControlCharactersInMessage(text).c_str());
  std::fflush(out_);
  return Answer::No;
}

}  // namespace tarnwick
