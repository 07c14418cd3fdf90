// Stop requests between processes of the program: the holder of the scheduler lock answers them on
// a local stream socket in the data folder, and `tarnwick-cli stop` or the window asks there. Asked,
// never signalled: a process id read from a file can name anybody (another pid namespace, a
// forged line), a socket only reaches the one that made it. docs/stop-socket.md describes the lines.
//
// The socket is made mode 0600 before it listens, and each side checks the other's user with
// SO_PEERCRED, so nobody but the same user asks or answers. Only the lock holder removes a socket
// left by a dead holder and binds a new one.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "app/Status.h"
#include "formats/FileIo.h"

namespace tarnwick {

// What the holder answered to a stop request.
struct StopAnswer {
  enum class Kind { Stopping, Idle, Error };
  Kind kind = Kind::Error;
  std::string holder;  // Stopping, Idle: who answered, for people
  std::string detail;  // Stopping: the profile it stops; Error: the reason word
};

// The protocol's request line (with its line feed) and the longest request and answer lines.
inline constexpr std::string_view kStopRequestLine = "STOP\n";
inline constexpr std::size_t kMaxStopRequest = 256;
inline constexpr std::size_t kMaxStopAnswer = 4096;

// The answer line for `answer`, with its line feed. Fields are percent-encoded, so a name with
// blanks, line breaks or control bytes stays one field of one line.
std::string FormatStopAnswer(const StopAnswer& answer);
// An answer line without its line feed; nullopt for anything but a well-formed answer.
std::optional<StopAnswer> ParseStopAnswer(std::string_view line);

// The server: answers stop requests on its own thread while it lives.
class CStopService {
 public:
  // Stops the backup the holder runs; returns its profile's name, nullopt when none runs. Called
  // on the service's thread.
  using StopHandler = std::function<std::optional<std::string>()>;

  // Answers on `socketPath` as `holderText`; listens only after Listen().
  CStopService(std::filesystem::path socketPath, std::string holderText, StopHandler onStop);
  // Stops answering and removes its socket.
  ~CStopService();
  CStopService(const CStopService&) = delete;
  CStopService& operator=(const CStopService&) = delete;

  // Removes a socket left at the path (never anything else in its way), binds, restricts it to the
  // owner and starts answering. Call only while holding the scheduler lock. InvalidArgument when
  // the path is too long to bind even through the folder's descriptor, IoError when the system
  // refuses, Busy when something other than a socket holds the name.
  Status Listen();

 private:
  void Serve();
  void Answer(int connection);
  void Close();

  const std::filesystem::path path_;
  const std::string holderText_;
  const StopHandler onStop_;
  CFileDescriptor listener_;
  CFileDescriptor wake_;  // an eventfd that ends Serve()
  ino_t boundInode_ = 0;  // the socket this service made, the only one it removes
  std::thread thread_;
};

// Asks whoever listens on `socketPath` to stop its backup and waits (a few seconds at most) for
// the answer. Ok with `answer` filled when an answer of the same user came (Stopping or Idle);
// NotFound when nobody listens, Refused for an answer of another user or an Error answer,
// NetworkError when no answer came in time or it was malformed.
Status AskToStop(const std::filesystem::path& socketPath, StopAnswer& answer);

}  // namespace tarnwick
