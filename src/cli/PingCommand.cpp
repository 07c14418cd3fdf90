// tarnwick-cli ping HOST: the four echo requests of the "Pinging Host..." dialog, one line per
// event on standard output.
#include <cstdio>
#include <string>
#include <vector>

#include "app/ControlCharacters.h"
#include "cli/CliCommand.h"
#include "net/PingWorker.h"

namespace tarnwick::cli {

namespace {

constexpr int kPingCount = 4;

class PrintingObserver : public PingObserver {
 public:
  void OnPingLine(int kind, const std::string& text) override {
    if (kind == PING_LINE_REPLY) ++replies;
    std::printf("%s\n", EscapeControlCharacters(text).c_str());
    std::fflush(stdout);
  }
  void OnPingDone(int) override {}
  int replies = 0;
};

int RunPing(const std::vector<std::string>& args) {
  if (args.size() != 1 || args[0].empty()) {
    std::fprintf(stderr, "Usage: tarnwick-cli ping HOST\n");
    return kExitCannotStart;
  }
  PrintingObserver observer;
  CPingWorker worker;
  worker.Ping(kPingCount, args[0], &observer);
  return observer.replies > 0 ? kExitOk : kExitFailed;
}

const CliCommandRegistration registration({"ping", "HOST", "send four ICMP echo requests to HOST", RunPing});

}  // namespace
}  // namespace tarnwick::cli
