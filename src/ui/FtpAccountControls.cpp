#include "ui/FtpAccountControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "ui/HistoryComboBox.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

QLabel* Label(unsigned id, QWidget* buddy) {
  auto* label = new QLabel(UiString(id), buddy->parentWidget());
  label->setBuddy(buddy);
  return label;
}

// Shows `problem` and focuses its field; true when there is none.
bool Passes(const FtpInputProblem& problem, UserPrompts& prompts, const FtpAccountControls& c, QLineEdit* remotePath) {
  if (problem.field == FtpField::None) return true;
  prompts.ShowMessage(problem.message.toStdString());
  QWidget* fields[] = {nullptr, c.host, c.port, c.user, c.password, remotePath};
  if (QWidget* field = fields[static_cast<int>(problem.field)]) field->setFocus();
  return false;
}

}  // namespace

FtpAccountControls::FtpAccountControls(HistoryStore& history, UserPrompts& prompts, QWidget* parent)
    : host(new CHistoryComboBox(history, parent)),
      port(new QLineEdit(parent)),
      user(new QLineEdit(parent)),
      anonymous(new QCheckBox(UiString(IDS_FTP_ANONYMOUS), parent)),
      password(new QLineEdit(parent)),
      mask(new QCheckBox(UiString(IDS_FTP_MASK_PASSWORD), parent)),
      saveAccount(new QCheckBox(UiString(IDS_FTP_SAVE_ACCOUNT), parent)),
      tls(new QCheckBox(UiString(IDS_FTP_USE_TLS), parent)),
      protocol(new QComboBox(parent)),
      keyFile(new QLineEdit(parent)) {
  protocol->addItems({QStringLiteral("FTP"), QStringLiteral("SFTP")});
  keyFile->setPlaceholderText(UiString(IDS_FTP_KEY_FILE_HINT));
  QObject::connect(protocol, &QComboBox::currentIndexChanged, port, [this](int index) {
    // TLS belongs to FTP only; SSH secures SFTP by itself.
    tls->setVisible(index == 0);
    const QString from = index == 0 ? QStringLiteral("22") : QStringLiteral("21");
    if (port->text() == from) port->setText(index == 0 ? QStringLiteral("21") : QStringLiteral("22"));
  });
  tls->setChecked(true);
  // clicked, not toggled: only the user's own choice warns, never a recalled account.
  QObject::connect(tls, &QCheckBox::clicked, tls, [this, &prompts](bool on) {
    if (on || plainWarned) return;
    plainWarned = true;
    prompts.ShowMessage(UiString(IDS_FTP_PLAIN_WARNING).toStdString());
  });
  port->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), port));
  port->setMaxLength(9);
  password->setEchoMode(QLineEdit::Password);
  mask->setChecked(true);
  QLineEdit* shown = password;
  QObject::connect(mask, &QCheckBox::toggled, password,
                   [shown](bool masked) { shown->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal); });
}

FtpAccountInput FtpAccountControls::Input(const QLineEdit* remotePath) const {
  return {host->currentText().toStdString(),   port->text().toStdString(), user->text().toStdString(),
          password->text().toStdString(),      anonymous->isChecked(),     remotePath->text().toStdString(),
          Sftp() && !keyFile->text().isEmpty()};
}

bool FtpAccountControls::Check(UserPrompts& prompts, QLineEdit* remotePath) const {
  return Passes(CheckFtpAccount(Input(remotePath)), prompts, *this, remotePath);
}

bool FtpAccountControls::CheckValues(UserPrompts& prompts, QLineEdit* remotePath) const {
  return Passes(CheckFtpValues(Input(remotePath)), prompts, *this, remotePath);
}

void FtpAccountControls::ShowRecalled(const std::string& userName, const std::string& passwordText, bool isAnonymous,
                                      const std::string& portText) {
  anonymous->setChecked(isAnonymous);
  user->setText(QString::fromStdString(userName));
  password->setText(QString::fromStdString(passwordText));
  port->setText(QString::fromStdString(portText));
}

void FtpAccountControls::ShowSecurity(bool tlsOn, bool warned) {
  plainWarned = warned;
  tls->setChecked(tlsOn);
}

bool FtpAccountControls::Sftp() const { return protocol->currentIndex() == 1; }

bool FtpAccountControls::PassiveApplies() const { return !Sftp() && !tls->isChecked(); }

void FtpAccountControls::TiePassive(QCheckBox* passive, const std::function<bool()>& otherwiseEnabled) {
  updatePassive = [this, passive, otherwiseEnabled] { passive->setEnabled(otherwiseEnabled() && PassiveApplies()); };
  QObject::connect(tls, &QCheckBox::toggled, passive, updatePassive);
  QObject::connect(protocol, &QComboBox::currentIndexChanged, passive, updatePassive);
  updatePassive();
}

void FtpAccountControls::ShowProtocol(bool sftp, const std::string& keyFileText) {
  // Signals off: a stored account's port is what it is, not swapped to the protocol's standard one.
  const bool blocked = protocol->blockSignals(true);
  protocol->setCurrentIndex(sftp ? 1 : 0);
  protocol->blockSignals(blocked);
  tls->setVisible(!sftp);
  if (updatePassive) updatePassive();
  keyFile->setText(QString::fromStdString(keyFileText));
}

void FtpAccountControls::AddProtocolRows(QGridLayout* grid, int row) const {
  grid->addWidget(Label(IDS_FTP_PROTOCOL, protocol), row, 0);
  grid->addWidget(protocol, row, 1);
  grid->addWidget(Label(IDS_FTP_KEY_FILE, keyFile), row + 1, 0);
  grid->addWidget(keyFile, row + 1, 1, 1, 3);
}

void FtpAccountControls::AddRows(QGridLayout* grid, int row) const {
  grid->addWidget(Label(IDS_FTP_HOSTNAME, host), row, 0);
  grid->addWidget(host, row, 1);
  grid->addWidget(Label(IDS_FTP_PORT, port), row, 2);
  grid->addWidget(port, row, 3);
  grid->addWidget(Label(IDS_FTP_USERNAME, user), row + 1, 0);
  grid->addWidget(user, row + 1, 1);
  grid->addWidget(anonymous, row + 1, 2, 1, 2);
  grid->addWidget(Label(IDS_FTP_PASSWORD, password), row + 2, 0);
  grid->addWidget(password, row + 2, 1);
  grid->addWidget(mask, row + 2, 2, 1, 2);
}

}  // namespace tarnwick::ui
