#include "ui/CaptionBar.h"

#include <QHBoxLayout>
#include <QLabel>

#include "app/StringTable.h"
#include "ui/Icons.h"

namespace tarnwick::ui {

CCaptionBar::CCaptionBar(QWidget* parent)
    : QFrame(parent),
      icon_(new QLabel(this)),
      text_(new QLabel(QString::fromUtf8(LoadString(IDS_VERSION_TEXT)), this)) {
  setObjectName(QStringLiteral("CaptionBar"));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Dark);
  setForegroundRole(QPalette::BrightText);
  icon_->setPixmap(ProgramIcon(kIconTarnwick).pixmap(16, 16));
  QFont bold = text_->font();
  bold.setBold(true);
  text_->setFont(bold);
  text_->setForegroundRole(QPalette::BrightText);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 3, 6, 3);
  layout->setSpacing(6);
  layout->addWidget(icon_);
  layout->addWidget(text_, 1);
}

QString CCaptionBar::Text() const { return text_->text(); }

}  // namespace tarnwick::ui
