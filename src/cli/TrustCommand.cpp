// tarnwick-cli trust NAME [--accept FINGERPRINT]: what the login test's trust button does, for the
// servers of a saved profile. Each FTP-over-TLS and SFTP account is reached once; a certificate
// that does not verify, or an SSH host key that is not known yet, is shown with its fingerprint and
// trusted only when the user says so: on the terminal, or by naming that exact fingerprint.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "app/ControlCharacters.h"
#include "cli/CliCommand.h"
#include "cli/SavedProfile.h"
#include "engine/FtpJobConnection.h"
#include "ftp/CertificateTrust.h"
#include "ftp/KnownHosts.h"

namespace tarnwick::cli {
namespace {

constexpr int kDefaultFtpPort = 21;
constexpr int kDefaultSshPort = 22;

struct TrustArguments {
  std::string name;
  std::string accepted;  // the fingerprint the user named; empty: ask on the terminal
};

bool ParseArguments(const std::vector<std::string>& args, TrustArguments& parsed) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--accept") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return false;
      parsed.accepted = args[++i];
    } else if (parsed.name.empty() && !args[i].empty()) {
      parsed.name = args[i];
    } else {
      return false;
    }
  }
  return !parsed.name.empty();
}

// The hex digits of a certificate's "AB:CD:..." fingerprint, upper-cased; empty when `text` holds
// anything but hex digits and colons.
std::string HexDigitsOf(const std::string& text) {
  std::string digits;
  for (const char c : text) {
    if (c == ':') continue;
    if (std::isxdigit(static_cast<unsigned char>(c)) == 0) return {};
    digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return digits;
}

// Whether the fingerprint named on the command line is `shown`. A certificate's SHA-256 is hex: it
// may be given in either case, with or without its colons. An SSH key's "SHA256:..." is base64, in
// which case tells bytes apart, so it must be given exactly.
bool NamesFingerprint(const std::string& accepted, const std::string& shown) {
  if (shown.rfind("SHA256:", 0) == 0) return accepted == shown;
  const std::string digits = HexDigitsOf(shown);
  return !digits.empty() && HexDigitsOf(accepted) == digits;
}

// Yes when the fingerprint is the one named on the command line, or the user answers y on the
// terminal; never when there is no terminal to ask.
bool UserTrusts(const std::string& fingerprint, const std::string& accepted) {
  if (!accepted.empty()) return NamesFingerprint(accepted, fingerprint);
  if (isatty(STDIN_FILENO) == 0) return false;
  std::fprintf(stderr, "Trust it? [y/N] ");
  std::fflush(stderr);
  char answer[16] = {};
  if (!std::fgets(answer, sizeof answer, stdin)) return false;
  return answer[0] == 'y' || answer[0] == 'Y';
}

// Reaches one account and trusts what it shows if the user agrees. True when the connection is
// secured now (also when the login itself is refused: that is no matter of trust).
bool TrustSite(const FtpSite& site, const std::string& accepted) {
  FtpConnectParams params = ConnectParamsOf(site);
  if (params.port <= 0) params.port = site.sftp ? kDefaultSshPort : kDefaultFtpPort;
  const std::string where = EscapeControlCharacters(params.host + ":" + std::to_string(params.port));
  CFtpSession session;
  const Status connected = session.Connect(params);
  const FtpTlsProblem problem = session.TlsProblem();
  session.Close();
  switch (problem.kind) {
    case FtpTlsFailure::None:
      if (!connected.ok() && connected.code() != StatusCode::Refused) {
        std::printf("%s: %s\n", where.c_str(), EscapeControlCharacters(connected.ToString()).c_str());
        return false;
      }
      std::printf("%s: secured, nothing to trust.\n", where.c_str());
      return true;
    case FtpTlsFailure::Untrusted:
      std::printf("%s: the certificate does not verify: %s\n  SHA-256 fingerprint %s\n", where.c_str(),
                  EscapeControlCharacters(problem.reason).c_str(), problem.sha256.c_str());
      std::fflush(stdout);
      if (!UserTrusts(problem.sha256, accepted)) {
        std::printf("%s: not trusted.\n", where.c_str());
        return false;
      }
      if (const Status trusted = TrustCertificate(params.host, params.port, problem.sha256); !trusted.ok()) {
        std::printf("%s: %s\n", where.c_str(), EscapeControlCharacters(trusted.ToString()).c_str());
        return false;
      }
      std::printf("%s: this certificate is trusted from now on.\n", where.c_str());
      return true;
    case FtpTlsFailure::HostKeyUnknown: {
      const std::string file = params.knownHostsFile.empty() ? DefaultKnownHostsFile() : params.knownHostsFile;
      std::printf("%s: unknown SSH host key %s\n", where.c_str(), problem.sha256.c_str());
      std::fflush(stdout);
      if (problem.knownHostsLine.empty() || !UserTrusts(problem.sha256, accepted)) {
        std::printf("%s: not accepted.\n", where.c_str());
        return false;
      }
      if (const Status added = AddKnownHost(file, problem.knownHostsLine); !added.ok()) {
        std::printf("%s: %s\n", where.c_str(), EscapeControlCharacters(added.ToString()).c_str());
        return false;
      }
      std::printf("%s: host key added to %s.\n", where.c_str(), EscapeControlCharacters(file).c_str());
      return true;
    }
    case FtpTlsFailure::HostKeyChanged:
    case FtpTlsFailure::NotOffered:
      // A changed key is never accepted here: the user must find out why and mend known_hosts.
      std::printf("%s: %s\n", where.c_str(), EscapeControlCharacters(connected.message()).c_str());
      return false;
  }
  return false;
}

int RunTrust(const std::vector<std::string>& args) {
  TrustArguments parsed;
  if (!ParseArguments(args, parsed)) {
    std::fprintf(stderr, "tarnwick-cli: usage: trust NAME [--accept FINGERPRINT]\n");
    return kExitCannotStart;
  }
  ConsolePrompts prompts(stderr);
  Profile profile;
  if (const int read = ReadSavedProfile(parsed.name, profile, prompts); read != kExitOk) return read;
  bool allSecured = true;
  bool any = false;
  for (const FtpSite* site : ServerAccounts(profile)) {
    if (!site->tls && !site->sftp) continue;
    any = true;
    allSecured = TrustSite(*site, parsed.accepted) && allSecured;
  }
  if (!any) std::printf("%s uses no server over TLS or SFTP.\n", EscapeControlCharacters(profile.name).c_str());
  return allSecured ? kExitOk : kExitFailed;
}

const CliCommandRegistration registration(
    {"trust", "NAME [--accept FINGERPRINT]",
     "show the certificates and SSH host keys of a saved profile's servers and trust those the user accepts",
     RunTrust});

}  // namespace
}  // namespace tarnwick::cli
