// The login test of the "Login Test" dialog: one connection attempt on a worker thread of its own,
// reporting each step to an observer. The dialog only shows the lines LoginTestLines gives it.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/Mutex.h"
#include "ftp/FtpSession.h"

namespace tarnwick {

struct LoginTestRequest {
  std::string host;
  std::string user;          // empty: anonymous login
  std::string password;      // empty for an anonymous login
  std::string remoteFolder;  // changed to after the login when not empty
  bool passive = false;
  int port = 0;  // PortFromText of the account's port text
  bool tls = false;
  std::string caFile{};          // as FtpConnectParams has them
  std::string trustFile{};       // as FtpConnectParams has them
  bool sftp = false;             // as FtpConnectParams has them
  std::string keyFile{};         // as FtpConnectParams has them
  std::string keyPassphrase{};   // as FtpConnectParams has them
  std::string knownHostsFile{};  // as FtpConnectParams has them
};

// The dialog's own texts are IDS_LOGIN_TEST_PLEASE_WAIT (its static line) and
// IDS_LOGIN_TEST_NO_THREAD (when Start fails) in app/StringTable.h.

enum class LoginTestEvent { Connecting, Connected, Failed, Directory, Succeeded };

// The lines the dialog appends for one event, in order; `directoryChanged` is the result carried by
// the Directory event, `tls` and `reason` what the Failed event carries (a failure that is not the
// TLS check's gets its reason on a line "Reason: ...").
std::vector<std::string> LoginTestLines(LoginTestEvent event, const LoginTestRequest& request,
                                        bool directoryChanged = false, const FtpTlsProblem& tls = {},
                                        const std::string& reason = {});

// Receives the steps of a login test, on the test's worker thread, in this order: Connecting, then
// Connected once the server answered (also with a refused login; never when it could not be
// reached), then Failed or [Directory] Succeeded.
class LoginTestObserver {
 public:
  virtual ~LoginTestObserver() = default;
  virtual void OnConnecting() = 0;
  virtual void OnConnected() = 0;
  // `tls` tells whether TLS was what failed, and with which certificate; `reason` says why in the
  // server's or the system's words (with host and port when the server could not be reached).
  virtual void OnFailed(const FtpTlsProblem& tls, const std::string& reason) = 0;
  virtual void OnDirectory(bool changed) = 0;
  virtual void OnSucceeded() = 0;
};

class CLoginTest {
 public:
  // The test works on its own copy of the request. The observer must outlive this object.
  CLoginTest(LoginTestRequest request, LoginTestObserver& observer, FtpTimeouts timeouts = {});
  // Ends a test still waiting on the network (its later steps are not reported) and joins it.
  ~CLoginTest();
  CLoginTest(const CLoginTest&) = delete;
  CLoginTest& operator=(const CLoginTest&) = delete;

  // Starts the worker; false when the thread cannot be created (the dialog then shows
  // IDS_LOGIN_TEST_NO_THREAD). Only the first call starts anything.
  bool Start();
  // Waits at most `timeout` for the worker to end; true when it has ended (or never started).
  bool WaitFor(std::chrono::milliseconds timeout);

 private:
  void Run();
  // Passes one step to the observer unless the test is being ended.
  template <typename Step>
  void Report(Step step);

  const LoginTestRequest request_;
  LoginTestObserver& observer_;
  const FtpTimeouts timeouts_;
  std::atomic<bool> cancel_{false};
  Mutex mutex_;  // held while the observer is called, and for finished_
  CondVar ended_;
  bool finished_ GUARDED_BY(mutex_) = false;
  std::thread worker_;
};

}  // namespace tarnwick
