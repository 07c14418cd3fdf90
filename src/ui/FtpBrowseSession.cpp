#include "ui/FtpBrowseSession.h"

#include <QMetaObject>

#include "engine/RemoteListing.h"

namespace tarnwick::ui {

CFtpBrowseSession::CFtpBrowseSession(FtpTimeouts timeouts, bool unixServer)
    : unixServer_(unixServer), session_(timeouts), context_(new QObject) {
  session_.SetCancelFlag(&cancel_);
  context_->moveToThread(&thread_);
  QObject::connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
  thread_.start();
}

CFtpBrowseSession::~CFtpBrowseSession() {
  cancel_ = true;
  // Requests not yet begun are dropped with the thread's queue.
  thread_.quit();
  thread_.wait();
}

void CFtpBrowseSession::Post(std::function<void()> work) {
  QMetaObject::invokeMethod(context_, std::move(work), Qt::QueuedConnection);
}

BrowseListing CFtpBrowseSession::ListCurrent() {
  BrowseListing listing;
  if (!session_.GetCurrentDirectory(listing.folder).ok()) listing.folder.clear();
  std::vector<FtpFileInfo> found;
  if (!session_.List(listing.folder, found).ok()) return listing;
  for (FtpFileInfo& entry : found) {
    // Only a line the FTP layer could not read needs the UNIX rule; parsed names keep their blanks.
    if (entry.unparsed && unixServer_) entry.name = std::string(UnixNameOfUnparsedLine(entry.name));
    // A name that could not be a remote path's last part cannot be picked either.
    if (entry.name.empty() || entry.name == "." || entry.name == ".." || !IsUsableRemoteName(entry.name)) continue;
    listing.entries.push_back(std::move(entry));
  }
  return listing;
}

void CFtpBrowseSession::Open(FtpConnectParams params, std::string initialPath, Reply reply) {
  Post([this, params = std::move(params), initialPath = std::move(initialPath), reply = std::move(reply)] {
    if (Status connected = session_.Connect(params); !connected.ok()) {
      reply({std::move(connected), {}, {}});
      return;
    }
    // A folder that is gone leaves the browser in the login folder.
    if (!initialPath.empty()) (void)session_.SetCurrentDirectory(initialPath);
    reply(ListCurrent());
  });
}

void CFtpBrowseSession::Change(std::string path, Reply reply) {
  Post([this, path = std::move(path), reply = std::move(reply)] {
    if (Status changed = session_.SetCurrentDirectory(path); !changed.ok()) {
      reply({std::move(changed), {}, {}});
      return;
    }
    reply(ListCurrent());
  });
}

}  // namespace tarnwick::ui
