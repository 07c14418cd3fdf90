// REPORT rows of any text (a run history or saved log anyone could edit): no crash, and a report
// read from one writes a row that reads back to the same report.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "engine/RunReport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<tarnwick::RunReport> report = tarnwick::ParseReportRowText(text);
  if (!report) return 0;
  const std::string row = tarnwick::ReportRowText(*report);
  const std::optional<tarnwick::RunReport> again = tarnwick::ParseReportRowText(row);
  if (!again || tarnwick::ReportRowText(*again) != row) abort();
  tarnwick::ReportSummary(*report);
  return 0;
}
