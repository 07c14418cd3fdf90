// "Login Test": one connection attempt on the login test's worker, its progress listed line by line
// as it arrives. OK waits at most half a second for the worker; Esc and the close box close at
// once. A test still waiting on the network when the dialog goes is ended, and its later steps are
// dropped.
#pragma once

#include <QDialog>
#include <chrono>
#include <memory>

#include "app/UserPrompts.h"
#include "ftp/LoginTest.h"

class QListWidget;
class QPushButton;

namespace tarnwick::ui {

class CLoginTestDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr std::chrono::milliseconds kOkWait{500};

  // Starts the test at once; a worker that cannot be started is told through `prompts`.
  CLoginTestDlg(LoginTestRequest request, UserPrompts& prompts, FtpTimeouts timeouts = {}, QWidget* parent = nullptr);
  ~CLoginTestDlg() override;

  QListWidget* Lines() const { return lines_; }

  // The worker's steps, on the window's thread.
  void OnEvent(LoginTestEvent event, bool directoryChanged = false, const FtpTlsProblem& tls = {},
               const std::string& reason = {});
  // Shown after a certificate did not verify: trusts that certificate for the host and port.
  QPushButton* TrustButton() const { return trust_; }

  void accept() override;

 private:
  const LoginTestRequest request_;
  void OnTrust();

  UserPrompts& prompts_;
  QListWidget* lines_;
  QPushButton* trust_;
  std::string untrusted_;       // the fingerprint the trust button would trust
  std::string unknownKeyLine_;  // or the known-hosts line it would add
  std::unique_ptr<LoginTestObserver> observer_;
  std::unique_ptr<CLoginTest> test_;  // after the observer: it goes first
};

}  // namespace tarnwick::ui
