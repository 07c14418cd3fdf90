// The remote browser's FTP session, on a thread of its own so that a slow or dead server never
// holds up a window. Each request runs on that thread, one after another, and ends with its reply
// callback called there; GiveUp ends the request in progress (and every later one) within a
// fraction of a second.
#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "app/Status.h"
#include "ftp/FtpListParser.h"
#include "ftp/FtpSession.h"

namespace tarnwick::ui {

// A folder as the browser shows it.
struct BrowseListing {
  Status status;                     // why the request failed; the rest is empty then
  std::string folder;                // the current folder as the server names it; empty when it would not say
  std::vector<FtpFileInfo> entries;  // usable names only, in the server's order
};

class CFtpBrowseSession {
 public:
  using Reply = std::function<void(BrowseListing)>;  // called on the session's thread

  // `unixServer`: a listing line the FTP layer could not read is named by its last word.
  CFtpBrowseSession(FtpTimeouts timeouts, bool unixServer);
  // Gives up what runs, ends the thread and waits for it.
  ~CFtpBrowseSession();
  CFtpBrowseSession(const CFtpBrowseSession&) = delete;
  CFtpBrowseSession& operator=(const CFtpBrowseSession&) = delete;

  // Connects and logs in, changes to `initialPath` (a refusal is ignored) and lists the folder.
  void Open(FtpConnectParams params, std::string initialPath, Reply reply);
  // Changes to `path` (relative to the current folder unless absolute) and lists it.
  void Change(std::string path, Reply reply);
  void GiveUp() { cancel_ = true; }

 private:
  // Reads the current folder back and lists it.
  BrowseListing ListCurrent();
  void Post(std::function<void()> work);

  const bool unixServer_;
  std::atomic<bool> cancel_{false};
  CFtpSession session_;  // used only on the thread
  QThread thread_;
  QObject* context_;  // lives on the thread; requests are queued to it
};

}  // namespace tarnwick::ui
