// Answers on the stop socket of any bytes: no crash, and an answer read back formats to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/StopService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::optional<tarnwick::StopAnswer> answer = tarnwick::ParseStopAnswer(line);
  if (!answer) return 0;
  // Only one spelling is accepted, so the answer formats back to the very bytes it came from.
  const std::string again = tarnwick::FormatStopAnswer(*answer);
  if (again.size() != line.size() + 1 || std::string_view(again).substr(0, line.size()) != line) abort();
  return 0;
}
