// Stand-in until the FTP layer is in: every FTP step fails honestly with an ERROR row, so a job
// with an FTP destination or remote sources never reports success.
#include "engine/FtpTransfers.h"

#include "engine/EngineTexts.h"

namespace tarnwick {

class CFtpJobConnection {};

void FtpJobConnectionCloser::operator()(CFtpJobConnection* connection) const noexcept { delete connection; }

namespace {

bool ReportUnavailable(JobContext& context) {
  context.log.LogActionText(LOG_ERROR, kFtpUnavailableText);
  return false;
}

}  // namespace

FtpJobConnection ConnectForJob(JobContext& context, FtpSite&, bool) {
  ReportUnavailable(context);
  return nullptr;
}

void CloseJobConnection(FtpJobConnection& connection) { connection.reset(); }

bool CreateRemoteFolderChain(JobContext& context, CFtpJobConnection&, const std::string&) {
  return ReportUnavailable(context);
}

void CreateRemoteFolder(JobContext& context, CFtpJobConnection&, const std::string&) { ReportUnavailable(context); }

bool UploadFile(JobContext& context, const std::string&, const std::string&, CFtpJobConnection&) {
  return ReportUnavailable(context);
}

bool CopyRemoteSource(JobContext& context, const FtpSource&, CFtpJobConnection*, const std::string&) {
  return ReportUnavailable(context);
}

}  // namespace tarnwick
