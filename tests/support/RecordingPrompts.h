// A UserPrompts that records every message and question and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "app/UserPrompts.h"

namespace tarnwick::test {

class RecordingPrompts : public UserPrompts {
 public:
  std::vector<std::string> messages;   // ShowMessage texts, in order
  std::vector<std::string> questions;  // AskYesNo texts, in order
  std::deque<Answer> answers;          // answers to give; Yes when empty

  void ShowMessage(const std::string& text, const std::string& = {}) override { messages.push_back(text); }
  Answer AskYesNo(const std::string& text, bool = false) override {
    questions.push_back(text);
    if (answers.empty()) return Answer::Yes;
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
};

}  // namespace tarnwick::test
