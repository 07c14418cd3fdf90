// The questions and messages the core puts to the user. The desktop program shows them in
// message boxes; the CLI prints them and answers questions from its options; tests record them.
#pragma once

#include <string>

namespace tarnwick {

class UserPrompts {
 public:
  enum class Answer { Yes, No };

  virtual ~UserPrompts() = default;

  // An information or error message; `title` may be empty (the program's name is used then).
  virtual void ShowMessage(const std::string& text, const std::string& title = {}) = 0;

  // A Yes/No question. `defaultNo` makes No the default button.
  virtual Answer AskYesNo(const std::string& text, bool defaultNo = false) = 0;

  // Asks for a secret (a key's passphrase) without showing it. False when the user gave none or
  // there is nobody to ask, which is all a front end without a way to ask says.
  virtual bool AskSecret(const std::string& /*text*/, std::string& /*secret*/) { return false; }
};

// Says nothing and answers every question with the answer it was built with.
class SilentPrompts : public UserPrompts {
 public:
  explicit SilentPrompts(Answer answer = Answer::Yes) : answer_(answer) {}
  void ShowMessage(const std::string&, const std::string& = {}) override {}
  Answer AskYesNo(const std::string&, bool = false) override { return answer_; }

 private:
  Answer answer_;
};

}  // namespace tarnwick
