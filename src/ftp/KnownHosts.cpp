#include "ftp/KnownHosts.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "app/FormatTexts.h"
#include "app/ProgramFolder.h"
#include "formats/FileIo.h"

namespace tarnwick {

namespace {

std::string Base64(std::string_view bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length =
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                      reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  text.resize(static_cast<size_t>(length));
  return text;
}

}  // namespace

std::string DefaultKnownHostsFile() { return (UserHomeFolder() / ".ssh" / "known_hosts").string(); }

std::string SshKeyFingerprint(std::string_view keyBlob) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(keyBlob.data(), keyBlob.size(), digest, &length, EVP_sha256(), nullptr) != 1) return {};
  std::string text = Base64(std::string_view(reinterpret_cast<const char*>(digest), length));
  while (!text.empty() && text.back() == '=') text.pop_back();
  return "SHA256:" + text;
}

std::string KnownHostsLine(const std::string& host, int port, std::string_view keyBlob) {
  if (keyBlob.size() < 4) return {};
  const auto* b = reinterpret_cast<const unsigned char*>(keyBlob.data());
  const std::size_t typeLength = (std::size_t{b[0]} << 24) | (std::size_t{b[1]} << 16) | (b[2] << 8) | b[3];
  if (typeLength == 0 || typeLength > keyBlob.size() - 4) return {};
  const std::string_view type = keyBlob.substr(4, typeLength);
  if (type.find_first_of(" \t\r\n") != std::string_view::npos) return {};
  return KnownHostsName(host, port) + " " + std::string(type) + " " + Base64(keyBlob);
}

std::string KnownHostsName(std::string_view host, int port) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (port == 0 || port == 22) return std::string(host);
  return "[" + std::string(host) + "]:" + std::to_string(port);
}

namespace {

// Whether `text` (a known-hosts file) has `line` as one of its lines, alone or before a comment.
bool HoldsLine(std::string_view text, std::string_view line) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view held = text.substr(at, end - at);
    if (!held.empty() && held.back() == '\r') held.remove_suffix(1);
    if (held.substr(0, line.size()) == line && (held.size() == line.size() || held[line.size()] == ' ')) return true;
    at = end + 1;
  }
  return false;
}

}  // namespace

Status AddKnownHost(const std::string& file, const std::string& line) {
  const std::filesystem::path folder = std::filesystem::path(file).parent_path();
  if (!folder.empty() && !std::filesystem::exists(folder)) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return Status::IoError(folder.string(), error.value());
    chmod(folder.c_str(), 0700);
  }
  // A key the file holds already is not added again.
  if (std::string held; ReadWholeFile(file, kKnownHostsLimit, held).ok() && HoldsLine(held, line)) return {};
  // Under the reading rule (formats/FileIo.h): a FIFO or device at the name is refused, not waited on.
  CFileDescriptor appended;
  const IoResult opened = OpenStoredFile(file, kNoSizeLimit, appended, O_WRONLY | O_APPEND | O_CREAT);
  if (!opened.ok()) return FileStatus(file, opened);
  const int fd = appended.release();
  // A file whose last line has no line break must not glue the new key onto it.
  std::string text = line + "\n";
  struct stat info {};
  if (fstat(fd, &info) == 0 && info.st_size > 0) {
    char last = '\n';
    const int reader = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (reader >= 0) {
      if (pread(reader, &last, 1, info.st_size - 1) != 1) last = '\n';
      close(reader);
    }
    if (last != '\n') text.insert(0, "\n");
  }
  const ssize_t written = write(fd, text.data(), text.size());
  const int error = errno;
  close(fd);
  if (written != static_cast<ssize_t>(text.size())) return Status::IoError(file, written < 0 ? error : EIO);
  return {};
}

}  // namespace tarnwick
