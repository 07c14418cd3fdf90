#include "ui/AboutDlg.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Icons.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

// A flat button drawn as a link.
QPushButton* LinkButton(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setFlat(true);
  button->setCursor(Qt::PointingHandCursor);
  button->setStyleSheet(
      QStringLiteral("QPushButton { color: palette(link); text-decoration: underline; "
                     "border: none; text-align: left; padding: 0; }"));
  return button;
}

}  // namespace

QString WebAddress() { return QStringLiteral(TARNWICK_WEB_URL); }
QString SupportMailAddress() { return QStringLiteral(TARNWICK_SUPPORT_MAIL); }

QUrl SupportMailUrl() {
  QUrl url;
  url.setScheme(QStringLiteral("mailto"));
  url.setPath(SupportMailAddress());
  return url;
}

CAboutDlg::CAboutDlg(std::function<void()> openWeb, QWidget* parent) : QDialog(parent) {
  setWindowTitle(UiString(IDS_ABOUT_CAPTION));
  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon(kIconTarnwick).pixmap(32, 32));
  auto* version = new QLabel(UiString(IDS_ABOUT_VERSION), this);
  const QString web = WebAddress();
  const QString mail = SupportMailAddress();
  web_ = LinkButton(web.isEmpty() ? UiString(IDS_ABOUT_WEB_LINK) : web, this);
  mail_ = LinkButton(mail.isEmpty() ? UiString(IDS_ABOUT_MAIL_LINK) : mail, this);
  connect(web_, &QPushButton::clicked, this, [openWeb = std::move(openWeb)] { openWeb(); });
  connect(mail_, &QPushButton::clicked, this, [] { QDesktopServices::openUrl(SupportMailUrl()); });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(16);
  grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
  grid->addWidget(version, 0, 1);
  grid->addWidget(web_, 1, 1);
  grid->addWidget(mail_, 2, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);
  setMinimumWidth(340);
}

}  // namespace tarnwick::ui
