#include "ftp/FtpSession.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>

#include "app/ControlCharacters.h"
#include "app/FormatTexts.h"
#include "app/StringTable.h"
#include "app/Wildcard.h"
#include "ftp/CertificateTrust.h"
#include "ftp/KnownHosts.h"

namespace tarnwick {

// How it works: one easy handle and one multi handle per session. Every operation runs the easy
// handle through the session's own multi handle, so the control connection sits in that multi's
// connection cache and is reused from one operation to the next (libcurl logs in again by itself
// should the server have dropped it). Files are moved in pull/push style: the multi is driven only
// while the caller is inside Read/Write, and the transfer is paused in between, so the caller sees
// each chunk on its own thread and nothing runs behind its back. A watchdog in the drive loop
// fails any operation that makes no progress for the stall time-out.
//
// Every path goes into URLs as "%2F" + percent-encoded bytes with the "no CWD" file method, so
// libcurl sends absolute paths in single commands and never changes folders itself. Commands
// without data (CWD, PWD, MKD, DELE, RNFR/RNTO, FEAT) travel as "*"-prefixed quote commands on a
// body-less request; their replies are read from libcurl's protocol transcript, so a refused
// command neither breaks the control connection nor is mistaken for success.
//
// TLS: libcurl's own host-name check is off and OpenSSL checks the chain and the name in one step,
// inside our verify hook, so that a certificate the user trusted for this host (by its SHA-256
// fingerprint) can pass while any other failure ends the handshake before USER/PASS are sent. The
// hook needs libcurl's OpenSSL back end; with another one a TLS connection is refused, never made
// without the check.
//
// SFTP runs through the same handles and drive loop with libcurl's sftp:// transport: URLs carry
// plain absolute paths, folder commands are libcurl's SFTP quote commands (their failure is the
// refusal), a folder is listed twice through a URL ending in "/" (names only, then "ls -l" lines for
// the LIST parser; ListSftpFolder), and the host key is checked in our key hook against the
// known-hosts file, refusing a missing or changed key.
//
// A reply 500 may mean the server split a command line and answers its tail too; the control
// connection is then dropped before the next operation rather than read one reply behind.

namespace {

constexpr int kDefaultPort = 21;
constexpr int kDefaultSshPort = 22;
// What SFTP moves through the transfer library at once, both ways: each packet waits for the
// server's answer, and only large batches keep enough of them on the way.
constexpr std::size_t kSftpBatch = std::size_t{1} << 20;
constexpr std::size_t kSftpReadBuffer = std::size_t{512} << 10;  // the most every libcurl version takes

// A path for an SFTP quote command: quoted, with quotes and backslashes escaped.
std::string QuotedSftpPath(std::string_view path) {
  std::string text = "\"";
  for (char c : path) {
    if (c == '"' || c == '\\') text += '\\';
    text += c;
  }
  return text + '"';
}

// What libcurl answers when an SFTP server refused an operation (an SFTP failure status).
bool IsSftpRefusal(CURLcode code) {
  return code == CURLE_QUOTE_ERROR || code == CURLE_REMOTE_FILE_NOT_FOUND || code == CURLE_REMOTE_ACCESS_DENIED ||
         code == CURLE_REMOTE_DISK_FULL || code == CURLE_REMOTE_FILE_EXISTS || code == CURLE_UPLOAD_FAILED;
}

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool HasLineBreakOrNul(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) != text.npos; }

// Path bytes for a URL: only unreserved characters and "/" are left as they are.
std::string EncodePath(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size() * 3);
  for (unsigned char c : path) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// The text of a 257 reply: the path between the first quote and its closing quote, "" standing
// for one quote inside.
bool PathOf257(std::string_view reply, std::string& path) {
  const size_t open = reply.find('"');
  if (open == std::string_view::npos) return false;
  std::string text;
  for (size_t i = open + 1; i < reply.size(); ++i) {
    if (reply[i] != '"') {
      text += reply[i];
    } else if (i + 1 < reply.size() && reply[i + 1] == '"') {
      text += '"';
      ++i;
    } else {
      path = std::move(text);
      return true;
    }
  }
  return false;
}

std::string_view ParentOf(std::string_view absolute) {
  const size_t slash = absolute.rfind('/');
  return slash == 0 || slash == std::string_view::npos ? std::string_view("/") : absolute.substr(0, slash);
}

std::string_view LastComponent(std::string_view absolute) { return absolute.substr(absolute.rfind('/') + 1); }

bool IsPositive(int code) { return code >= 100 && code < 400; }

void TrimLineBreaks(std::string& text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
}

std::string Sha256Fingerprint(X509* certificate) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!certificate || X509_digest(certificate, EVP_sha256(), digest, &length) != 1) return {};
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    if (i > 0) text += ':';
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 15];
  }
  return text;
}

std::string CertificateReason(int error, const std::string& host) {
  switch (error) {
    case X509_V_ERR_CERT_HAS_EXPIRED: return LoadString(IDS_CERT_EXPIRED);
    case X509_V_ERR_CERT_NOT_YET_VALID: return LoadString(IDS_CERT_NOT_YET_VALID);
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN: return LoadString(IDS_CERT_SELF_SIGNED);
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE: return LoadString(IDS_CERT_UNKNOWN_ISSUER);
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH: return FormatString(IDS_CERT_NAME_MISMATCH, host.c_str());
    default: return X509_verify_cert_error_string(error);
  }
}

bool IsIpAddress(const std::string& host) {
  unsigned char address[16];
  return inet_pton(AF_INET, host.c_str(), address) == 1 || inet_pton(AF_INET6, host.c_str(), address) == 1;
}

// One command and the server's reply to it, as seen on the control connection.
struct Exchange {
  std::string command;
  std::string reply;  // every line of the reply, each ending in "\n"
  int code = 0;       // 0 until the final line of the reply arrived
};

}  // namespace

int PortFromText(std::string_view text) {
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > 65535) return -1;
  }
  return static_cast<int>(value);
}

bool PassiveFromText(std::string_view text) { return text == "1"; }

// Marks the session's drive loop as moving data (a file or a listing) for as long as it lives, so
// the transfer interrupt flag applies.
class TransferScope {
 public:
  explicit TransferScope(bool& transferring) : transferring_(transferring) { transferring_ = true; }
  ~TransferScope() { transferring_ = false; }
  TransferScope(const TransferScope&) = delete;
  TransferScope& operator=(const TransferScope&) = delete;

 private:
  bool& transferring_;
};

struct CFtpSession::Impl {
  explicit Impl(FtpTimeouts t) : timeouts(t) { InitCurlOnce(); }
  ~Impl() { Drop(); }

  FtpTimeouts timeouts;
  FtpConnectParams params;
  std::string baseUrl;  // "ftp://host:port/"
  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  bool connected = false;
  bool hasCwd = false;
  std::string cwd;
  bool mlsd = false;
  HashFeature hash;  // what FEAT said of HASH
  bool fileOpen = false;
  unsigned fileSerial = 0;   // which CFtpFile the transfer state belongs to
  std::string target;        // the remote path (or host) the operation in progress concerns
  Status failure;            // why the last operation failed
  FtpTlsProblem tlsProblem;  // of the last Connect
  std::string trusted;       // the fingerprint the user trusted for this host and port
  char errorBuffer[CURL_ERROR_SIZE] = {};

  // State of the operation in progress.
  bool inMulti = false;
  bool done = false;
  CURLcode result = CURLE_OK;
  std::uint64_t progress = 0;  // data bytes either way, commands sent and whole replies, for the watchdog
  std::vector<Exchange> transcript;
  std::string partialLine;
  std::string body;  // listing data
  // SFTP listings: what each call of the write callback brought, and how many bytes in all.
  std::vector<std::string> chunks;
  std::size_t chunkBytes = 0;
  std::size_t listingLimit = std::size_t{64} << 20;
  bool listingCut = false;  // the last listing passed listingLimit

  // Remote file transfer state.
  FtpFileMode fileMode = FtpFileMode::Read;
  std::string fileBuffer;  // received bytes not yet read, or bytes to send
  size_t fileOffset = 0;   // bytes of fileBuffer already handed on
  size_t wanted = CFtpSession::kChunkSize;
  bool paused = false;
  bool endOfUpload = false;
  bool fileStarted = false;
  curl_slist* quote = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  const std::atomic<bool>* interrupt = nullptr;
  bool transferring = false;           // inside a read, write or close of an open file
  std::vector<curl_socket_t> sockets;  // opened by libcurl for this session, not yet closed
  bool hungUp = false;                 // the server closed the connection during an SFTP login
  // A reply showed that the server may answer out of step (RepliesOutOfStep): the control
  // connection is renewed before the next operation.
  bool untrusted = false;

  void Drop() {
    Abort();
    if (easy && multi && cancel && cancel->load()) {
      // Whoever cancelled does not want to wait for the reply to QUIT either: hang up.
      for (curl_socket_t socket : sockets) shutdown(socket, SHUT_RDWR);
    }
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);  // says QUIT on the cached control connection
    easy = nullptr;
    multi = nullptr;
    connected = false;
    untrusted = false;
    fileOpen = false;
    ++fileSerial;  // a file still held by a caller is dead now
    FreeQuote();
  }

  void FreeQuote() {
    curl_slist_free_all(quote);
    quote = nullptr;
  }

  // Leaves an operation early; libcurl then closes its connection, so the next operation logs in
  // afresh rather than inheriting a half-finished exchange.
  void Abort() {
    if (inMulti) {
      curl_multi_remove_handle(multi, easy);
      inMulti = false;
    }
  }

  std::string Url(std::string_view absolute, bool folder) const {
    std::string url = params.sftp ? baseUrl + EncodePath(absolute) : baseUrl + "%2F" + EncodePath(absolute.substr(1));
    if (folder && absolute.size() > 1) url += '/';
    return url;
  }

  // Whether a reply of the last operation may have left the server one reply ahead: a server that
  // found a command line too long (or not a command at all, its tail read as another) answers 500
  // and may then answer the rest of the line, so every later reply would belong to the command
  // before it.
  bool RepliesOutOfStep() const {
    return !params.sftp &&
           std::any_of(transcript.begin(), transcript.end(), [](const Exchange& e) { return e.code == 500; });
  }

  // Drops the cached control connection after an out-of-step reply; the next request logs in
  // afresh. Hung up first: a QUIT there would wait for a reply that may never be its own.
  void RenewIfUntrusted() {
    if (!untrusted) return;
    untrusted = false;
    for (curl_socket_t socket : sockets) shutdown(socket, SHUT_RDWR);
    curl_multi_cleanup(multi);
    multi = curl_multi_init();
  }

  // Fresh options for one operation on `url`.
  void Prepare(const std::string& url) {
    RenewIfUntrusted();
    curl_easy_reset(easy);
    transcript.clear();
    partialLine.clear();
    body.clear();
    chunks.clear();
    chunkBytes = 0;
    done = false;
    result = CURLE_OK;
    failure = Status();
    tlsProblem = {};
    hungUp = false;
    errorBuffer[0] = 0;
    FreeQuote();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, params.sftp ? "sftp" : "ftp");
    if (!params.user.empty()) {
      curl_easy_setopt(easy, CURLOPT_USERNAME, params.user.c_str());
      curl_easy_setopt(easy, CURLOPT_PASSWORD, params.password.c_str());
    }
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
    if (params.sftp) {
      PrepareSsh();
    } else {
      curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
      // Secured sessions always open their data connections passively: the transfer library of this
      // system never completes the handshake on an active one (it waits out the time-out), and
      // firewalls cannot follow a PORT command they cannot read anyway.
      if (!params.passive && !params.tls) curl_easy_setopt(easy, CURLOPT_FTPPORT, "-");
      curl_easy_setopt(easy, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(timeouts.stall.count()));
      // Our watchdog covers replies during operations; this one also bounds the wait for the reply
      // to QUIT when the session closes (libcurl's own default is two minutes).
      const auto stallSeconds = std::chrono::ceil<std::chrono::seconds>(timeouts.stall).count();
      curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(std::max<long long>(stallSeconds, 1)));
    }
    curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &Impl::OnDebug);
    curl_easy_setopt(easy, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::OnListData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &Impl::OnOpenSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &Impl::OnCloseSocket);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
    if (params.tls && !params.sftp) {
      curl_easy_setopt(easy, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
      curl_easy_setopt(easy, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
      curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
      curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);  // VerifyChain checks the name
      if (!params.caFile.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, params.caFile.c_str());
      curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &Impl::OnSslContext);
      curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, this);
    }
  }

  void PrepareSsh() {
    if (params.keyFile.empty()) {
      curl_easy_setopt(easy, CURLOPT_SSH_AUTH_TYPES, static_cast<long>(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
    } else {
      // After the key file, an SSH agent holding the key: how a run nobody watches logs in with a
      // key whose passphrase it was never told.
      curl_easy_setopt(easy, CURLOPT_SSH_AUTH_TYPES, static_cast<long>(CURLSSH_AUTH_PUBLICKEY | CURLSSH_AUTH_AGENT));
      curl_easy_setopt(easy, CURLOPT_SSH_PRIVATE_KEYFILE, params.keyFile.c_str());
      // Empty: the public key is worked out from the private one, not looked for in ~/.ssh.
      curl_easy_setopt(easy, CURLOPT_SSH_PUBLIC_KEYFILE, "");
      if (!params.keyPassphrase.empty()) curl_easy_setopt(easy, CURLOPT_KEYPASSWD, params.keyPassphrase.c_str());
    }
    curl_easy_setopt(easy, CURLOPT_SSH_KNOWNHOSTS, params.knownHostsFile.c_str());
    curl_easy_setopt(easy, CURLOPT_SSH_KEYFUNCTION, &Impl::OnHostKey);
    curl_easy_setopt(easy, CURLOPT_SSH_KEYDATA, this);
  }

  // Only a key the known-hosts file holds for this host and port passes; nothing is ever added to
  // the file here, so a job cannot learn a key by itself.
  static int OnHostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match, void* self) {
    if (match == CURLKHMATCH_OK) return CURLKHSTAT_FINE;
    Impl& s = *static_cast<Impl*>(self);
    const std::string_view blob =
        found && found->len > 0 ? std::string_view(found->key, found->len) : std::string_view();
    s.tlsProblem = {match == CURLKHMATCH_MISMATCH ? FtpTlsFailure::HostKeyChanged : FtpTlsFailure::HostKeyUnknown,
                    {},
                    SshKeyFingerprint(blob),
                    KnownHostsLine(s.params.host, s.params.port == 0 ? kDefaultSshPort : s.params.port, blob)};
    return CURLKHSTAT_REJECT;
  }

  static CURLcode OnSslContext(CURL*, void* context, void* self) {
    SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX*>(context), &Impl::VerifyChain, self);
    return CURLE_OK;
  }

  // The whole chain check of a handshake, for the control and every data connection.
  static int VerifyChain(X509_STORE_CTX* context, void* self) {
    Impl& s = *static_cast<Impl*>(self);
    std::string host = s.params.host;
    if (host.size() > 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context);
    if (IsIpAddress(host)) {
      X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
    } else {
      X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
    }
    const std::string fingerprint = Sha256Fingerprint(X509_STORE_CTX_get0_cert(context));
    if (X509_verify_cert(context) == 1) return 1;
    if (!s.trusted.empty() && fingerprint == s.trusted) {
      X509_STORE_CTX_set_error(context, X509_V_OK);
      return 1;
    }
    s.tlsProblem = {FtpTlsFailure::Untrusted, CertificateReason(X509_STORE_CTX_get_error(context), host), fingerprint};
    return 0;
  }

  static curl_socket_t OnOpenSocket(void* self, curlsocktype, curl_sockaddr* address) {
    const curl_socket_t fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd != CURL_SOCKET_BAD) static_cast<Impl*>(self)->sockets.push_back(fd);
    return fd;
  }

  static int OnCloseSocket(void* self, curl_socket_t fd) {
    std::vector<curl_socket_t>& sockets = static_cast<Impl*>(self)->sockets;
    sockets.erase(std::remove(sockets.begin(), sockets.end(), fd), sockets.end());
    return close(fd);
  }

  // Whether the server closed (or reset) one of the session's connections.
  bool ServerHungUp() const {
    const int savedErrno = errno;  // libcurl may still look at it after its message
    bool closed = false;
    for (curl_socket_t socket : sockets) {
      char byte = 0;
      const ssize_t n = recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
      closed = closed || n == 0 || (n < 0 && errno == ECONNRESET);
    }
    errno = savedErrno;
    return closed;
  }

  // Quote commands run after the login; "*" keeps a refusal from ending the connection.
  void SetCommands(std::initializer_list<std::string> commands) {
    for (const std::string& command : commands) quote = curl_slist_append(quote, ("*" + command).c_str());
    curl_easy_setopt(easy, CURLOPT_QUOTE, quote);
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  }

  static int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* self) {
    static_cast<Impl*>(self)->Record(type, std::string_view(data, size));
    return 0;
  }

  void Record(curl_infotype type, std::string_view data) {
    // libcurl calls every failed SSH login a denied one; a server that had already hung up when
    // libcurl said so lost the connection rather than refused the login.
    if (type == CURLINFO_TEXT && params.sftp && !connected && !hungUp) hungUp = ServerHungUp();
    if (type == CURLINFO_HEADER_OUT) {
      progress += data.size();
      while (!data.empty() && (data.back() == '\n' || data.back() == '\r')) data.remove_suffix(1);
      transcript.push_back({std::string(data), {}, 0});
      return;
    }
    if (type != CURLINFO_HEADER_IN) return;
    partialLine.append(data);
    size_t end;
    while ((end = partialLine.find('\n')) != std::string::npos) {
      std::string line = partialLine.substr(0, end);
      partialLine.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      OnReplyLine(line);
    }
  }

  void OnReplyLine(const std::string& line) {
    const bool coded =
        line.size() >= 3 && std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; });
    const bool final = coded && (line.size() == 3 || line[3] == ' ');
    // Only a whole reply is progress: a server sending one line after another forever (or a line
    // without end) must not keep an operation alive past the stall time.
    if (final) ++progress;
    if (final && line[0] == '1') fileStarted = true;
    // The greeting arrives before any command and belongs to none.
    if (transcript.empty() || transcript.back().code != 0) return;
    Exchange& exchange = transcript.back();
    exchange.reply += line + "\n";
    // Preliminary 1xx replies are followed by the real one.
    if (final && line[0] != '1') exchange.code = std::stoi(line.substr(0, 3));
  }

  const Exchange* Reply(std::string_view commandPrefix) const {
    for (auto it = transcript.rbegin(); it != transcript.rend(); ++it) {
      if (it->command.compare(0, commandPrefix.size(), commandPrefix) == 0) return &*it;
    }
    return nullptr;
  }

  static size_t OnListData(char* data, size_t size, size_t count, void* self) {
    Impl& impl = *static_cast<Impl*>(self);
    impl.progress += size * count;
    if (impl.body.size() + size * count > impl.listingLimit) {
      impl.listingCut = true;
      return 0;  // ends the transfer: a listing without end must not fill the memory
    }
    impl.body.append(data, size * count);
    return size * count;
  }

  static size_t OnListChunk(char* data, size_t size, size_t count, void* self) {
    Impl& impl = *static_cast<Impl*>(self);
    impl.progress += size * count;
    impl.chunkBytes += size * count;
    if (impl.chunkBytes > impl.listingLimit) {
      impl.listingCut = true;
      return 0;
    }
    impl.chunks.emplace_back(data, size * count);
    return size * count;
  }

  static size_t OnFileData(char* data, size_t size, size_t count, void* self) {
    Impl& impl = *static_cast<Impl*>(self);
    if (impl.fileBuffer.size() - impl.fileOffset >= impl.wanted) {
      impl.paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    impl.progress += size * count;
    impl.fileBuffer.append(data, size * count);
    return size * count;
  }

  static size_t OnUploadData(char* data, size_t size, size_t count, void* self) {
    Impl& impl = *static_cast<Impl*>(self);
    impl.fileStarted = true;
    const size_t available = impl.fileBuffer.size() - impl.fileOffset;
    if (available == 0) {
      if (impl.endOfUpload) return 0;
      impl.paused = true;
      return CURL_READFUNC_PAUSE;
    }
    const size_t n = std::min(available, size * count);
    std::memcpy(data, impl.fileBuffer.data() + impl.fileOffset, n);
    impl.fileOffset += n;
    impl.progress += n;
    if (impl.fileOffset == impl.fileBuffer.size()) {
      impl.fileBuffer.clear();
      impl.fileOffset = 0;
    }
    return n;
  }

  void Start() {
    curl_multi_add_handle(multi, easy);
    inMulti = true;
  }

  void Resume() {
    if (paused) {
      paused = false;
      curl_easy_pause(easy, CURLPAUSE_CONT);
    }
  }

  // Runs the operation until it ends (true) or `until` holds (false).
  bool Drive(const std::function<bool()>& until) {
    using Clock = std::chrono::steady_clock;
    auto lastProgress = Clock::now();
    std::uint64_t seen = progress;
    for (;;) {
      int running = 0;
      curl_multi_perform(multi, &running);
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
          done = true;
          result = message->data.result;
        }
      }
      if (done) {
        Abort();
        if (result != CURLE_OK) NoteFailure();
        untrusted = untrusted || RepliesOutOfStep();
        return true;
      }
      if ((cancel && cancel->load()) || (transferring && interrupt && interrupt->load())) {
        Abort();
        done = true;
        result = CURLE_ABORTED_BY_CALLBACK;
        failure = Status::Stopped();
        return true;
      }
      if (until && until()) return false;
      const auto now = Clock::now();
      if (progress != seen) {
        seen = progress;
        lastProgress = now;
      } else if (now - lastProgress >= timeouts.stall) {
        Abort();
        done = true;
        result = CURLE_OPERATION_TIMEDOUT;
        failure = Status::NetworkError(LoadString(IDS_FTP_NO_PROGRESS), target);
        return true;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(timeouts.stall - (now - lastProgress));
      curl_multi_poll(multi, nullptr, 0, static_cast<int>(std::clamp<long long>(left.count(), 1, 200)), nullptr);
    }
  }

  // libcurl's words and the server's last reply. A permanent "no" (5xx) from the server is a
  // refusal; anything else speaks of the connection.
  void NoteFailure() {
    if (params.tls && result == CURLE_USE_SSL_FAILED) {
      tlsProblem = {FtpTlsFailure::NotOffered, {}, {}};
      failure = Status::NetworkError(LoadString(IDS_FTP_TLS_NOT_OFFERED), target);
      return;
    }
    if (tlsProblem.kind == FtpTlsFailure::Untrusted) {
      failure = Status::NetworkError(
          FormatString(IDS_FTP_CERT_UNTRUSTED, tlsProblem.reason.c_str(), tlsProblem.sha256.c_str()), target);
      return;
    }
    if (tlsProblem.kind == FtpTlsFailure::HostKeyUnknown || tlsProblem.kind == FtpTlsFailure::HostKeyChanged) {
      const int text =
          tlsProblem.kind == FtpTlsFailure::HostKeyUnknown ? IDS_SFTP_HOST_KEY_UNKNOWN : IDS_SFTP_HOST_KEY_CHANGED;
      failure =
          Status::NetworkError(FormatString(text, tlsProblem.sha256.c_str(), params.knownHostsFile.c_str()), target);
      return;
    }
    std::string reason = errorBuffer[0] ? errorBuffer : curl_easy_strerror(result);
    const Exchange* last = transcript.empty() ? nullptr : &transcript.back();
    if (last && !last->reply.empty()) {
      // The reply's own line break would end the reason inside its parentheses.
      std::string reply = last->reply;
      while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
      reason += " (" + reply + ")";
    }
    TrimLineBreaks(reason);
    const bool refused =
        result == CURLE_LOGIN_DENIED || (last && last->code >= 500) || (params.sftp && IsSftpRefusal(result));
    failure = refused ? Status::Refused(reason, target) : Status::NetworkError(reason, target);
  }

  bool Fail(Status why) {
    failure = std::move(why);
    return false;
  }

  // Runs a prepared operation to its end.
  bool Run() {
    Start();
    Drive(nullptr);
    return result == CURLE_OK;
  }

  // Starts an operation on `what` (a remote path); false when the session cannot take one now.
  bool Begin(std::string what) {
    target = std::move(what);
    if (!connected) return Fail(Status::NetworkError(LoadString(IDS_FTP_NOT_CONNECTED), target));
    if (fileOpen) return Fail(Status::Busy(LoadString(IDS_FTP_FILE_OPEN)));
    // No such name can exist here, and a server may answer its command in two parts.
    if (HasOverlongName(target)) {
      return Fail(
          Status::InvalidArgument(FormatString(IDS_FTP_NAME_TOO_LONG, static_cast<int>(kMaxNameBytes)), target));
    }
    return true;
  }

  Status Result(bool ok) const { return ok ? Status() : failure; }

  // Runs commands without data; true when every one of them was accepted.
  bool Commands(std::initializer_list<std::string> commands) {
    transcript.clear();
    for (const std::string& command : commands) {
      if (HasLineBreakOrNul(command)) return Fail(Status::InvalidArgument(LoadString(IDS_FTP_BAD_PATH), target));
    }
    Prepare(baseUrl);
    SetCommands(commands);
    if (!Run()) return false;
    for (const std::string& command : commands) {
      const Exchange* exchange = Reply(command);
      if (!exchange) return Fail(Status::NetworkError(FormatString(IDS_FTP_NO_REPLY, command.c_str()), target));
      if (!IsPositive(exchange->code)) {
        std::string reply = exchange->reply;
        TrimLineBreaks(reply);
        return Fail(Status::Refused(reply, target));
      }
    }
    return true;
  }

  // Logs in over SSH with a request that moves no data; the login folder becomes the current one.
  Status ConnectSftp() {
    Prepare(baseUrl + "/");
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    if (!Run()) {
      Status failed = failure;
      if (failed.code() != StatusCode::Stopped) {
        failed = result == CURLE_LOGIN_DENIED && !hungUp ? Status::Refused(failed.message(), params.host)
                                                         : Status::NetworkError(failed.message(), params.host);
      }
      Drop();
      return failed;
    }
    connected = true;
    char* entry = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry && *entry) {
      cwd = entry;
      hasCwd = true;
    }
    return {};
  }

  // Runs one SFTP quote command; true when the server accepted it.
  bool SftpCommand(const std::string& command) {
    if (HasLineBreakOrNul(command)) return Fail(Status::InvalidArgument(LoadString(IDS_FTP_BAD_PATH), target));
    Prepare(baseUrl + "/");
    quote = curl_slist_append(quote, command.c_str());
    curl_easy_setopt(easy, CURLOPT_QUOTE, quote);
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    return Run();
  }

  // Lists one folder's contents; false when the server would not list it.
  bool ListFolder(const std::string& folder, std::vector<FtpFileInfo>& entries) {
    if (HasLineBreakOrNul(folder)) return Fail(Status::InvalidArgument(LoadString(IDS_FTP_BAD_PATH), folder));
    bool useMlsd = mlsd;
    listingCut = false;
    if (params.sftp) return ListSftpFolder(folder, entries);
    if (useMlsd && !RunListing(folder, "MLSD") && !listingCut) {
      // Some servers name MLSD in FEAT and then refuse it, for some folders or altogether; LIST
      // may still work there. A 501 is the standard answer for a path that is no folder, and a
      // 4xx or no reply speaks of the connection rather than the command: no second try then.
      const Exchange* refused = Reply("MLSD");
      if (!refused || refused->code < 500 || refused->code == 501) return false;
      // "Unknown" or "not implemented" will not change for other folders: stop asking.
      if (refused->code == 500 || refused->code == 502) mlsd = false;
      useMlsd = false;
    }
    if (!useMlsd && !RunListing(folder, "LIST") && !listingCut) return false;
    // What a cut listing brought is read up to its last whole line.
    if (listingCut) body.erase(body.rfind('\n') == std::string::npos ? 0 : body.rfind('\n') + 1);
    // A 450 ("no files") ends a listing without data and without an error.
    entries = useMlsd ? ParseMlsdListing(body) : ParseListListing(body, std::time(nullptr));
    return true;
  }

  // An SFTP folder is read twice: once for the names as the protocol's name field carries them, once
  // for the "ls -l" lines the server writes, for type, size and time. libcurl hands each entry to
  // the write callback on its own (a name, then "\n" on its own; or one whole line), so a name
  // holding a line break stays one name, and the text of a line never decides a name.
  bool ListSftpFolder(const std::string& folder, std::vector<FtpFileInfo>& entries) {
    std::vector<std::string> names, lines;
    // A folder that gained or lost an entry between the two reads is read again, once.
    for (int attempt = 0;; ++attempt) {
      if (!ReadSftpEntries(folder, true, names)) return false;
      const bool namesCut = listingCut;
      if (!ReadSftpEntries(folder, false, lines)) return false;
      listingCut = listingCut || namesCut;
      if (listingCut || lines.size() == names.size()) break;
      if (attempt == 1) return Fail(Status::NetworkError(LoadString(IDS_SFTP_LISTING_CHANGED), folder));
    }
    const std::time_t now = std::time(nullptr);
    entries.clear();
    for (std::size_t i = 0; i < names.size() && i < lines.size(); ++i) {
      FtpFileInfo info;
      std::string_view line = lines[i];
      if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
      // The line's own name is not used; a line that does not read leaves a plain file.
      if (ParseListLine(line, now, info) != FtpLineKind::Entry || line.find(names[i]) == std::string_view::npos) {
        info = FtpFileInfo{};
      }
      if (names[i] == "." || names[i] == "..") continue;
      info.name = std::move(names[i]);
      entries.push_back(std::move(info));
    }
    return true;
  }

  // The entries of one SFTP folder listing, names only or "ls -l" lines, each as libcurl handed it
  // over (lines keep their "\n"). False when the server would not list the folder, or a names-only
  // listing did not come as name and "\n" by turns.
  bool ReadSftpEntries(const std::string& folder, bool namesOnly, std::vector<std::string>& out) {
    Prepare(Url(folder, true));
    listingCut = false;
    curl_easy_setopt(easy, CURLOPT_DIRLISTONLY, namesOnly ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::OnListChunk);
    {
      const TransferScope scope(transferring);
      if (!Run() && !listingCut) return false;
    }
    out.clear();
    if (!namesOnly) {
      out = std::move(chunks);
      return true;
    }
    for (std::size_t i = 0; i + 1 < chunks.size(); i += 2) {
      if (chunks[i + 1] != "\n") return Fail(Status::NetworkError(LoadString(IDS_SFTP_LISTING_UNREADABLE), folder));
      out.push_back(std::move(chunks[i]));
    }
    if (chunks.size() % 2 != 0 && !listingCut) {
      return Fail(Status::NetworkError(LoadString(IDS_SFTP_LISTING_UNREADABLE), folder));
    }
    return true;
  }

  bool RunListing(const std::string& folder, const char* command) {
    Prepare(Url(folder, true));
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, command);
    // A stop ends a listing as it ends a transfer.
    const TransferScope scope(transferring);
    return Run();
  }
};

CFtpSession::CFtpSession(FtpTimeouts timeouts) : impl_(std::make_unique<Impl>(timeouts)) {}

CFtpSession::~CFtpSession() = default;

Status CFtpSession::Connect(const FtpConnectParams& params) {
  Impl& s = *impl_;
  s.Drop();
  s.params = params;
  if (s.params.caFile.empty()) {
    if (const char* caFile = std::getenv("TARNWICK_CA_FILE")) s.params.caFile = caFile;
  }
  if (s.params.sftp && s.params.knownHostsFile.empty()) s.params.knownHostsFile = DefaultKnownHostsFile();
  // The files the TLS and SSH layers read, under the reading rule first: a FIFO or device there
  // would hang the connect, a huge file fill the memory.
  Status unreadable;
  s.trusted = params.tls && !params.sftp ? TrustedCertificate(params.host, params.port, params.trustFile, &unreadable)
                                         : std::string();
  if (s.params.sftp) unreadable = RefusedStoredFile(s.params.knownHostsFile, kKnownHostsLimit);
  if (s.params.sftp && unreadable.ok() && !s.params.keyFile.empty()) {
    unreadable = RefusedStoredFile(s.params.keyFile, kKeyFileLimit);
  }
  if (!unreadable.ok()) return unreadable;
  s.cwd.clear();
  s.hasCwd = false;
  s.mlsd = false;
  s.hash = {};
  const std::string& host = params.host;
  s.target = host;
  if (host.empty() || params.port < 0 || params.port > 65535 ||
      host.find_first_of(std::string_view(" /?#@\\%\t\r\n\0", 11)) != std::string::npos) {
    return Status::InvalidArgument(LoadString(IDS_FTP_BAD_HOST), host);
  }
  // Such a login cannot be sent, so it can never be accepted: a refusal, as the server's would be.
  if (HasLineBreakOrNul(params.user) || HasLineBreakOrNul(params.password) || HasLineBreakOrNul(params.keyFile)) {
    return Status::Refused(LoadString(IDS_FTP_BAD_CREDENTIALS), host);
  }
  // An IPv6 address goes into brackets; a name or IPv4 address as it is.
  const bool bracket = host.find(':') != std::string::npos && host.front() != '[';
  const int defaultPort = params.sftp ? kDefaultSshPort : kDefaultPort;
  // SFTP paths follow the host as they are, so its base has no "/" of its own.
  s.baseUrl = (params.sftp ? "sftp://" : "ftp://") + (bracket ? "[" + host + "]" : host) + ":" +
              std::to_string(params.port == 0 ? defaultPort : params.port) + (params.sftp ? "" : "/");
  s.easy = curl_easy_init();
  s.multi = curl_multi_init();
  if (!s.easy || !s.multi) {
    s.Drop();
    return Status::NetworkError(LoadString(IDS_FTP_OUT_OF_MEMORY), host);
  }
  // A stop ends the wait for a server that does not answer as it ends a stalled transfer.
  const TransferScope scope(s.transferring);
  if (params.sftp) return s.ConnectSftp();
  // Logging in happens with the first request; FEAT tells whether MLSD is there.
  s.Prepare(s.baseUrl);
  if (params.tls && curl_easy_setopt(s.easy, CURLOPT_SSL_CTX_FUNCTION, &Impl::OnSslContext) != CURLE_OK) {
    s.Drop();
    return Status::NetworkError(LoadString(IDS_FTP_TLS_UNAVAILABLE), host);
  }
  s.SetCommands({"FEAT"});
  if (!s.Run()) {
    bool refused = s.result == CURLE_LOGIN_DENIED;
    for (const Exchange& exchange : s.transcript) {
      const bool login = exchange.command.rfind("USER ", 0) == 0 || exchange.command.rfind("PASS ", 0) == 0;
      if (login && exchange.code >= 400) refused = true;
    }
    Status failed = s.failure;
    if (failed.code() != StatusCode::Stopped) {
      failed = refused ? Status::Refused(failed.message(), host) : Status::NetworkError(failed.message(), host);
    }
    s.Drop();
    return failed;
  }
  s.connected = true;
  bool utf8 = false;
  if (const Exchange* feat = s.Reply("FEAT"); feat && feat->code == 211) {
    // Feature lines start with a blank: " MLST type*;size*;modify*;".
    std::string upper = feat->reply;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    s.mlsd = upper.find("\n MLST") != std::string::npos || upper.find("\n MLSD") != std::string::npos;
    utf8 = upper.find("\n UTF8\n") != std::string::npos || upper.find("\n UTF8 ") != std::string::npos;
    s.hash = ParseHashFeature(feat->reply);
  }
  char* entry = nullptr;
  if (curl_easy_getinfo(s.easy, CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry && *entry) {
    s.cwd = entry;
    s.hasCwd = true;
  }
  if (utf8) {
    // Our paths are UTF-8, and some servers that offer UTF8 take non-ASCII names only once it is
    // switched on. Servers that have it on anyway may refuse the command: that changes nothing,
    // so neither the answer nor its reason is kept.
    s.Commands({"OPTS UTF8 ON"});
    s.failure = Status();
  }
  return {};
}

bool CFtpSession::IsConnected() const { return impl_->connected; }

const FtpTlsProblem& CFtpSession::TlsProblem() const { return impl_->tlsProblem; }

void CFtpSession::Close() { impl_->Drop(); }

Status CFtpSession::GetCurrentDirectory(std::string& folder) {
  const Impl& s = *impl_;
  if (!s.connected) return Status::NetworkError(LoadString(IDS_FTP_NOT_CONNECTED));
  if (!s.hasCwd) return Status::NotFound({}, LoadString(IDS_FTP_NO_CURRENT_FOLDER));
  folder = s.cwd;
  return {};
}

Status CFtpSession::SetCurrentDirectory(const std::string& path) {
  Impl& s = *impl_;
  const std::string target = AbsolutePath(path);
  if (!s.Begin(target)) return s.failure;
  if (s.params.sftp) {
    // SFTP has no current folder of its own: a folder that lists is one to be in.
    std::vector<FtpFileInfo> entries;
    if (!s.ListFolder(target, entries)) return s.failure;
    s.cwd = target;
    s.hasCwd = true;
    return {};
  }
  if (!s.Commands({"CWD " + target, "PWD"})) {
    // PWD cannot fail after an accepted CWD on any sane server, but be sure which one failed.
    const Exchange* cwd = s.Reply("CWD ");
    if (!cwd || !IsPositive(cwd->code)) return s.failure;
  }
  std::string canonical;
  const Exchange* pwd = s.Reply("PWD");
  s.cwd = pwd && pwd->code == 257 && PathOf257(pwd->reply, canonical) ? canonical : target;
  s.hasCwd = true;
  return {};
}

Status CFtpSession::List(const std::string& pattern, std::vector<FtpFileInfo>& entries) {
  Impl& s = *impl_;
  entries.clear();
  const std::string path = AbsolutePath(pattern);
  if (!s.Begin(path)) return s.failure;
  const std::string_view last = LastComponent(path);
  std::vector<FtpFileInfo> found;
  if (last.find_first_of("*?") != std::string_view::npos) {
    if (!s.ListFolder(std::string(ParentOf(path)), found)) return s.failure;
    for (FtpFileInfo& entry : found) {
      // An unreadable line is matched both whole and by the name a UNIX server would give it.
      if (MatchesWildcard(last, entry.name) ||
          (entry.unparsed && MatchesWildcard(last, UnixNameOfUnparsedLine(entry.name)))) {
        entries.push_back(std::move(entry));
      }
    }
    return {};
  }
  if (s.ListFolder(path, found)) {
    entries = std::move(found);
    // Some LIST servers answer a file's path with that file's line: keep it.
    return {};
  }
  // Not a folder: a file lists itself. A folder the server would not list stays a failure with the
  // server's reason, never an empty folder.
  Status folderFailure = s.failure;
  if (path == "/" || !s.ListFolder(std::string(ParentOf(path)), found)) return folderFailure;
  for (FtpFileInfo& entry : found) {
    if (entry.name != last) continue;
    if (entry.isDirectory) return folderFailure;
    entries.push_back(std::move(entry));
  }
  return {};
}

bool CFtpSession::LastListingWasCut() const { return impl_->listingCut; }

void CFtpSession::SetListingLimit(std::size_t bytes) { impl_->listingLimit = bytes; }

Status CFtpSession::FileSize(const std::string& path, std::uint64_t& size) {
  Impl& s = *impl_;
  const std::string absolute = AbsolutePath(path);
  if (s.params.sftp) {
    // SFTP listings give exact sizes; the file's own entry is its size.
    std::vector<FtpFileInfo> entries;
    if (Status listed = List(absolute, entries); !listed.ok()) return listed;
    if (entries.size() != 1 || entries[0].isDirectory || entries[0].unparsed) {
      return Status::Refused(LoadString(IDS_SFTP_NO_SUCH_FILE), absolute);
    }
    size = entries[0].size;
    return {};
  }
  // Servers answer SIZE in ASCII mode with a count of converted bytes, or not at all.
  if (!s.Begin(absolute) || !s.Commands({"TYPE I", "SIZE " + absolute})) return s.failure;
  const Exchange* answer = s.Reply("SIZE ");
  const char* digits = answer->reply.c_str() + std::min<std::size_t>(answer->reply.size(), 4);
  errno = 0;
  const unsigned long long value = std::strtoull(digits, nullptr, 10);
  if (answer->code != 213 || *digits < '0' || *digits > '9' || errno != 0) {
    std::string reply = answer->reply;
    TrimLineBreaks(reply);
    return Status::Refused(reply, absolute);
  }
  size = value;
  return {};
}

bool CFtpSession::OffersHash() const { return !impl_->params.sftp && !impl_->hash.algorithms.empty(); }

Status CFtpSession::FileHash(const std::string& path, HashReply& hash) {
  Impl& s = *impl_;
  const std::string absolute = AbsolutePath(path);
  const std::optional<HashAlgorithm> wanted = PreferredHashAlgorithm(s.hash);
  if (s.params.sftp || !wanted) return Status::Refused(LoadString(IDS_FTP_HASH_NOT_OFFERED), absolute);
  if (!s.Begin(absolute)) return s.failure;
  // Binary mode, as for SIZE: the digest is of the bytes a download receives. The algorithm is
  // selected on every call, since the selection dies with a connection libcurl may have renewed.
  const std::string hashCommand = "HASH " + absolute;
  const bool ran = s.hash.current == wanted
                       ? s.Commands({"TYPE I", hashCommand})
                       : s.Commands({"TYPE I", std::string("OPTS HASH ") + HashAlgorithmName(*wanted), hashCommand});
  if (!ran) return s.failure;
  std::string reply = s.Reply(hashCommand)->reply;
  HashReply parsed;
  if (ParseHashReply(reply, parsed) && parsed.algorithm == *wanted && parsed.start == 0) {
    hash = std::move(parsed);
    return {};
  }
  TrimLineBreaks(reply);
  return Status::Refused(FormatString(IDS_FTP_HASH_BAD_REPLY, reply.c_str()), absolute);
}

Status CFtpSession::CreateDirectory(const std::string& path) {
  Impl& s = *impl_;
  const std::string absolute = AbsolutePath(path);
  if (!s.Begin(absolute)) return s.failure;
  return s.Result(s.params.sftp ? s.SftpCommand("mkdir " + QuotedSftpPath(absolute)) : s.Commands({"MKD " + absolute}));
}

Status CFtpSession::DeleteFile(const std::string& path) {
  Impl& s = *impl_;
  const std::string absolute = AbsolutePath(path);
  if (!s.Begin(absolute)) return s.failure;
  return s.Result(s.params.sftp ? s.SftpCommand("rm " + QuotedSftpPath(absolute)) : s.Commands({"DELE " + absolute}));
}

Status CFtpSession::Rename(const std::string& from, const std::string& to) {
  Impl& s = *impl_;
  const std::string absolute = AbsolutePath(from);
  if (!s.Begin(absolute)) return s.failure;
  const std::string target = AbsolutePath(to);
  return s.Result(s.params.sftp ? s.SftpCommand("rename " + QuotedSftpPath(absolute) + " " + QuotedSftpPath(target))
                                : s.Commands({"RNFR " + absolute, "RNTO " + target}));
}

bool CFtpSession::IsSftp() const { return impl_->params.sftp; }

Status CFtpSession::OpenFile(const std::string& path, FtpFileMode mode, std::unique_ptr<CFtpFile>& file) {
  Impl& s = *impl_;
  file.reset();
  const std::string absolute = AbsolutePath(path);
  if (!s.Begin(absolute)) return s.failure;
  if (absolute == "/" || HasLineBreakOrNul(absolute)) {
    return Status::InvalidArgument(LoadString(IDS_FTP_NOT_A_FILE), absolute);
  }
  s.Prepare(s.Url(absolute, false));
  s.fileMode = mode;
  s.fileBuffer.clear();
  s.fileOffset = 0;
  s.wanted = kChunkSize;
  s.paused = false;
  s.endOfUpload = false;
  s.fileStarted = false;
  if (mode == FtpFileMode::Read) {
    curl_easy_setopt(s.easy, CURLOPT_WRITEFUNCTION, &Impl::OnFileData);
    if (s.params.sftp) curl_easy_setopt(s.easy, CURLOPT_BUFFERSIZE, static_cast<long>(kSftpReadBuffer));
  } else {
    curl_easy_setopt(s.easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(s.easy, CURLOPT_READFUNCTION, &Impl::OnUploadData);
    curl_easy_setopt(s.easy, CURLOPT_READDATA, &s);
    curl_easy_setopt(s.easy, CURLOPT_UPLOAD_BUFFERSIZE, static_cast<long>(s.params.sftp ? kSftpBatch : kChunkSize));
  }
  // The file is open once the server has said it starts the transfer (1xx) or data moved.
  s.Start();
  s.Drive([&s] { return s.fileStarted || s.paused; });
  if (s.done && s.result != CURLE_OK) return s.failure;
  s.fileOpen = true;
  file.reset(new CFtpFile(s, mode, ++s.fileSerial));
  return {};
}

std::string CFtpSession::AbsolutePath(const std::string& path) const {
  std::string joined;
  if (!path.empty() && path.front() == '/') {
    joined = path;
  } else {
    joined = (impl_->hasCwd ? impl_->cwd : std::string()) + "/" + path;
  }
  std::vector<std::string_view> parts;
  std::string_view rest = joined;
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string absolute;
  for (std::string_view part : parts) {
    absolute += '/';
    absolute += part;
  }
  return absolute.empty() ? "/" : absolute;
}

void CFtpSession::SetCancelFlag(const std::atomic<bool>* flag) { impl_->cancel = flag; }

void CFtpSession::SetTransferInterruptFlag(const std::atomic<bool>* flag) { impl_->interrupt = flag; }

bool CFtpSession::UsesMlsd() const { return impl_->mlsd; }

// ---- CFtpFile ----

CFtpFile::CFtpFile(CFtpSession::Impl& session, FtpFileMode mode, unsigned serial)
    : session_(session), mode_(mode), serial_(serial) {}

bool CFtpFile::Live() const { return open_ && session_.fileOpen && session_.fileSerial == serial_; }

Status CFtpFile::Failure() const {
  if (session_.result != CURLE_OK && !session_.failure.ok()) return session_.failure;
  return Status::NetworkError(LoadString(IDS_FTP_TRANSFER_ENDED), session_.target);
}

namespace {

Status NotOpen() { return Status::InvalidArgument(LoadString(IDS_FTP_FILE_NOT_OPEN)); }

}  // namespace

CFtpFile::~CFtpFile() {
  if (Live()) {
    session_.Abort();
    session_.fileOpen = false;
  }
}

Status CFtpFile::Read(void* buffer, std::size_t size, std::size_t& got) {
  CFtpSession::Impl& s = session_;
  got = 0;
  if (!Live() || mode_ != FtpFileMode::Read) return NotOpen();
  if (size == 0) return {};
  const TransferScope scope(s.transferring);
  s.wanted = std::max(size, s.params.sftp ? kSftpBatch : CFtpSession::kChunkSize);
  auto available = [&s] { return s.fileBuffer.size() - s.fileOffset; };
  while (available() < size && !s.done) {
    s.Resume();
    s.Drive([&] { return available() >= size || s.paused; });
  }
  if (s.done && s.result != CURLE_OK) return Failure();
  const size_t n = std::min(size, available());
  std::memcpy(buffer, s.fileBuffer.data() + s.fileOffset, n);
  s.fileOffset += n;
  if (s.fileOffset == s.fileBuffer.size()) {
    s.fileBuffer.clear();
    s.fileOffset = 0;
  } else if (s.fileOffset >= CFtpSession::kChunkSize) {
    s.fileBuffer.erase(0, s.fileOffset);
    s.fileOffset = 0;
  }
  got = n;
  return {};
}

Status CFtpFile::Write(const void* data, std::size_t size) {
  CFtpSession::Impl& s = session_;
  if (!Live() || mode_ != FtpFileMode::Write) return NotOpen();
  if (s.done) return Failure();
  const TransferScope scope(s.transferring);
  s.fileBuffer.append(static_cast<const char*>(data), size);
  auto pending = [&s] { return s.fileBuffer.size() - s.fileOffset; };
  // Close sends what is left of a batch.
  if (s.params.sftp && pending() < kSftpBatch) return {};
  while (pending() > 0 && !s.done) {
    s.Resume();
    s.Drive([&] { return pending() == 0 || s.paused; });
  }
  return !s.done || s.result == CURLE_OK ? Status() : Failure();
}

Status CFtpFile::Close() {
  CFtpSession::Impl& s = session_;
  if (!Live()) {
    open_ = false;
    return NotOpen();
  }
  open_ = false;
  s.fileOpen = false;
  const TransferScope scope(s.transferring);
  auto available = [&s] { return s.fileBuffer.size() - s.fileOffset; };
  if (mode_ == FtpFileMode::Write && !s.done) {
    s.endOfUpload = true;
    s.Resume();
    s.Drive(nullptr);
  } else if (!s.done && !s.paused && available() == 0) {
    // Everything may have been read without the end being seen yet: wait for it, but not for data.
    s.Drive([&] { return available() > 0 || s.paused; });
  }
  if (!s.done) {
    // Closed before the end of a download: the transfer is given up.
    s.Abort();
    return Status::Stopped();
  }
  return s.result == CURLE_OK ? Status() : Failure();
}

}  // namespace tarnwick
