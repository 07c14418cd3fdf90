// Prompts for runs without a window: messages go to a stream, and questions are answered No, so
// nothing is overwritten or discarded unasked.
#pragma once

#include <cstdio>
#include <string>

#include "app/UserPrompts.h"

namespace tarnwick {

class ConsolePrompts : public UserPrompts {
 public:
  explicit ConsolePrompts(std::FILE* out) : out_(out) {}
  void ShowMessage(const std::string& text, const std::string& title = {}) override;
  Answer AskYesNo(const std::string& text, bool defaultNo = false) override;

 private:
  std::FILE* out_;
};

}  // namespace tarnwick
