// One copy of the program per user: a lock file plus a local socket, both named after the
// program's mutex text, in the user's runtime folder. A second copy asks the first through the
// socket to raise its window and ends.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <memory>

namespace tarnwick::ui {

inline constexpr const char* kInstanceMutexName = "TARNWICK-{4CCCD297-1158-4d31-BDA5-796B357CA70D}";
inline constexpr const char* kAreYouMeMessage = "TARNWICK_UWM_ARE_YOU_ME_MSG";

class CSingleInstance : public QObject {
  Q_OBJECT
 public:
  static constexpr int kAnswerTimeout = 200;  // ms a second copy waits for the first

  // `folder`: where the lock and the socket live; the user's runtime folder when empty.
  explicit CSingleInstance(const QString& folder = {}, QObject* parent = nullptr);
  ~CSingleInstance() override;

  // True for the first copy: the lock is taken (a stale lock of a crashed copy is taken over) and
  // the socket listens. False when another live copy holds the lock.
  bool Acquire();

  // A second copy's call: asks the first to raise its window. True when it answered within
  // `timeoutMs`; a copy that does not answer in time is left alone.
  bool AskFirstCopyToRaise(int timeoutMs = kAnswerTimeout) const;

  QString SocketPath() const { return socketPath_; }

 Q_SIGNALS:
  // Another copy was started: the window should come to the front.
  void raiseRequested();

 private:
  void OnConnection();

  QString socketPath_;
  QLockFile lock_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace tarnwick::ui
