// A UserPrompts that records every message and question and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "app/UserPrompts.h"

namespace tarnwick::test {

class RecordingPrompts : public UserPrompts {
 public:
  std::vector<std::string> messages;         // ShowMessage texts, in order
  std::vector<std::string> questions;        // AskYesNo texts, in order
  std::deque<Answer> answers;                // answers to give; Yes when empty
  std::vector<std::string> secretQuestions;  // AskSecret texts, in order
  std::deque<std::string> secrets;           // secrets to give; none (cancelled) when empty

  void ShowMessage(const std::string& text, const std::string& = {}) override { messages.push_back(text); }
  Answer AskYesNo(const std::string& text, bool = false) override {
    questions.push_back(text);
    if (answers.empty()) return Answer::Yes;
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  bool AskSecret(const std::string& text, std::string& secret) override {
    secretQuestions.push_back(text);
    if (secrets.empty()) return false;
    secret = secrets.front();
    secrets.pop_front();
    return !secret.empty();
  }
};

}  // namespace tarnwick::test
