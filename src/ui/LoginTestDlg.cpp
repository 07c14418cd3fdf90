#include "ui/LoginTestDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/StringTable.h"
#include "ftp/CertificateTrust.h"
#include "ftp/KnownHosts.h"
#include "ui/GuiPost.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

class StepsToDialog : public LoginTestObserver {
 public:
  explicit StepsToDialog(CLoginTestDlg* dialog) : dialog_(dialog) {}
  void OnConnecting() override { Post(LoginTestEvent::Connecting); }
  void OnConnected() override { Post(LoginTestEvent::Connected); }
  void OnFailed(const FtpTlsProblem& tls, const std::string& reason) override {
    PostToGui(dialog_, [tls, reason](CLoginTestDlg& d) { d.OnEvent(LoginTestEvent::Failed, false, tls, reason); });
  }
  void OnDirectory(bool changed) override { Post(LoginTestEvent::Directory, changed); }
  void OnSucceeded() override { Post(LoginTestEvent::Succeeded); }

 private:
  void Post(LoginTestEvent event, bool changed = false) {
    PostToGui(dialog_, [event, changed](CLoginTestDlg& d) { d.OnEvent(event, changed); });
  }
  const QPointer<CLoginTestDlg> dialog_;
};

}  // namespace

CLoginTestDlg::CLoginTestDlg(LoginTestRequest request, UserPrompts& prompts, FtpTimeouts timeouts, QWidget* parent)
    : QDialog(parent),
      request_(std::move(request)),
      prompts_(prompts),
      lines_(new QListWidget(this)),
      trust_(new QPushButton(UiString(IDS_LOGIN_TRUST_CERTIFICATE), this)) {
  setWindowTitle(UiString(IDS_LOGIN_TEST_CAPTION));
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(UiString(IDS_OK_AMP), QDialogButtonBox::AcceptRole);
  buttons->addButton(trust_, QDialogButtonBox::ActionRole);
  trust_->hide();
  connect(trust_, &QPushButton::clicked, this, &CLoginTestDlg::OnTrust);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromUtf8(LoadString(IDS_LOGIN_TEST_PLEASE_WAIT)), this));
  layout->addWidget(lines_);
  layout->addWidget(buttons);
  resize(420, 260);

  observer_ = std::make_unique<StepsToDialog>(this);
  test_ = std::make_unique<CLoginTest>(request_, *observer_, timeouts);
  if (!test_->Start()) prompts.ShowMessage(LoadString(IDS_LOGIN_TEST_NO_THREAD));
}

CLoginTestDlg::~CLoginTestDlg() { test_.reset(); }

void CLoginTestDlg::OnEvent(LoginTestEvent event, bool directoryChanged, const FtpTlsProblem& tls,
                            const std::string& reason) {
  for (const std::string& line : LoginTestLines(event, request_, directoryChanged, tls, reason)) {
    lines_->addItem(QString::fromStdString(line));
  }
  lines_->scrollToBottom();
  if (tls.kind == FtpTlsFailure::Untrusted && !tls.sha256.empty()) {
    untrusted_ = tls.sha256;
    trust_->show();
  }
  // Only an unknown key may be accepted here; a changed one needs the user to mend known_hosts.
  if (tls.kind == FtpTlsFailure::HostKeyUnknown && !tls.knownHostsLine.empty()) {
    unknownKeyLine_ = tls.knownHostsLine;
    trust_->setText(UiString(IDS_LOGIN_ACCEPT_HOST_KEY));
    trust_->show();
  }
}

void CLoginTestDlg::OnTrust() {
  if (!unknownKeyLine_.empty()) {
    const std::string file = request_.knownHostsFile.empty() ? DefaultKnownHostsFile() : request_.knownHostsFile;
    if (const Status added = AddKnownHost(file, unknownKeyLine_); !added.ok()) {
      prompts_.ShowMessage(added.ToString());
      return;
    }
    trust_->hide();
    unknownKeyLine_.clear();
    lines_->addItem(
        UiString(IDS_LOGIN_HOST_KEY_ACCEPTED).arg(QString::fromStdString(request_.host), QString::fromStdString(file)));
    return;
  }
  if (const Status trusted = TrustCertificate(request_.host, request_.port, untrusted_, request_.trustFile);
      !trusted.ok()) {
    prompts_.ShowMessage(trusted.ToString());
    return;
  }
  trust_->hide();
  lines_->addItem(UiString(IDS_LOGIN_CERTIFICATE_TRUSTED)
                      .arg(QString::fromStdString(request_.host))
                      .arg(request_.port == 0 ? 21 : request_.port));
}

void CLoginTestDlg::accept() {
  test_->WaitFor(kOkWait);
  QDialog::accept();
}

}  // namespace tarnwick::ui
