#include "ftp/LoginTest.h"

#include <system_error>

#include "app/StringTable.h"
#include "ftp/KnownHosts.h"

namespace tarnwick {

std::vector<std::string> LoginTestLines(LoginTestEvent event, const LoginTestRequest& request, bool directoryChanged,
                                        const FtpTlsProblem& tls, const std::string& reason) {
  switch (event) {
    case LoginTestEvent::Connecting:
      return {FormatString(IDS_LOGIN_TEST_CONNECTING, request.host.c_str(), request.port)};
    case LoginTestEvent::Connected: {
      // The dialog names an empty user "anonymous"; the login itself still goes out with no name.
      const std::string user = request.user.empty() ? LoadString(IDS_LOGIN_TEST_ANONYMOUS) : request.user;
      return {LoadString(IDS_SOCKET_CONNECTED), FormatString(IDS_LOGIN_TEST_USER, user.c_str())};
    }
    case LoginTestEvent::Failed: {
      std::vector<std::string> lines{FormatString(IDS_LOGIN_TEST_UNABLE_TO_LOGIN, request.host.c_str())};
      if (tls.kind == FtpTlsFailure::NotOffered) lines.emplace_back(LoadString(IDS_FTP_TLS_NOT_OFFERED));
      if (tls.kind == FtpTlsFailure::Untrusted) {
        lines.push_back(FormatString(IDS_FTP_CERT_UNTRUSTED, tls.reason.c_str(), tls.sha256.c_str()));
      }
      if (tls.kind == FtpTlsFailure::HostKeyUnknown || tls.kind == FtpTlsFailure::HostKeyChanged) {
        const std::string file = request.knownHostsFile.empty() ? DefaultKnownHostsFile() : request.knownHostsFile;
        const int text =
            tls.kind == FtpTlsFailure::HostKeyUnknown ? IDS_SFTP_HOST_KEY_UNKNOWN : IDS_SFTP_HOST_KEY_CHANGED;
        lines.push_back(FormatString(text, tls.sha256.c_str(), file.c_str()));
      }
      if (tls.kind == FtpTlsFailure::None && !reason.empty()) {
        lines.push_back(FormatString(IDS_FAILURE_REASON_ROW, reason.c_str()));
      }
      return lines;
    }
    case LoginTestEvent::Directory:
      return {FormatString(directoryChanged ? IDS_LOGIN_TEST_DIRECTORY_OK : IDS_LOGIN_TEST_DIRECTORY_FAILED,
                           request.remoteFolder.c_str())};
    case LoginTestEvent::Succeeded:
      if (request.sftp) return {LoadString(IDS_LOGIN_TEST_SFTP), LoadString(IDS_LOGIN_TEST_SUCCEEDED)};
      if (request.tls) return {LoadString(IDS_LOGIN_TEST_TLS), LoadString(IDS_LOGIN_TEST_SUCCEEDED)};
      return {LoadString(IDS_LOGIN_TEST_SUCCEEDED)};
  }
  return {};
}

CLoginTest::CLoginTest(LoginTestRequest request, LoginTestObserver& observer, FtpTimeouts timeouts)
    : request_(std::move(request)), observer_(observer), timeouts_(timeouts) {}

CLoginTest::~CLoginTest() {
  {
    MutexLock lock(mutex_);
    cancel_ = true;
  }
  if (worker_.joinable()) worker_.join();
}

bool CLoginTest::Start() {
  if (worker_.joinable()) return true;
  try {
    worker_ = std::thread(&CLoginTest::Run, this);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool CLoginTest::WaitFor(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  MutexLock lock(mutex_);
  if (!worker_.joinable()) return true;
  while (!finished_) {
    if (!ended_.WaitUntil(mutex_, deadline)) return finished_;
  }
  return true;
}

template <typename Step>
void CLoginTest::Report(Step step) {
  MutexLock lock(mutex_);
  if (!cancel_) step(observer_);
}

void CLoginTest::Run() {
  Report([](LoginTestObserver& o) { o.OnConnecting(); });
  CFtpSession session(timeouts_);
  session.SetCancelFlag(&cancel_);
  const FtpConnectParams params{request_.host,    request_.port,    request_.user,          request_.password,
                                request_.passive, request_.tls,     request_.caFile,        request_.trustFile,
                                request_.sftp,    request_.keyFile, request_.keyPassphrase, request_.knownHostsFile};
  const Status connected = session.Connect(params);
  // Only a server that answered was connected to: a refused login or a certificate or host key
  // turned down were, a refused connection not.
  const bool reached =
      connected.ok() || connected.code() == StatusCode::Refused || session.TlsProblem().kind != FtpTlsFailure::None;
  if (reached) Report([](LoginTestObserver& o) { o.OnConnected(); });
  if (!connected.ok()) {
    const std::string reason = reached
                                   ? connected.message()
                                   : FormatString(IDS_REASON_HOST_PORT, request_.host.c_str(),
                                                  std::to_string(request_.port).c_str(), connected.message().c_str());
    Report([tls = session.TlsProblem(), reason](LoginTestObserver& o) { o.OnFailed(tls, reason); });
  } else {
    if (!request_.remoteFolder.empty()) {
      const bool changed = session.SetCurrentDirectory(request_.remoteFolder).ok();
      Report([changed](LoginTestObserver& o) { o.OnDirectory(changed); });
    }
    Report([](LoginTestObserver& o) { o.OnSucceeded(); });
  }
  session.Close();
  MutexLock lock(mutex_);
  finished_ = true;
  ended_.NotifyAll();
}

}  // namespace tarnwick
