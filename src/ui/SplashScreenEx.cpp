#include "ui/SplashScreenEx.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>
#include <algorithm>
#include <vector>

namespace tarnwick::ui {

QRegion RegionFromColor(const QImage& image, QRgb transparent) {
  const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
  const QRgb key = transparent & RGB_MASK;
  std::vector<QRect> runs;
  runs.reserve(40);
  for (int y = pixels.height() - 1; y >= 0; --y) {
    const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
    int x = 0;
    while (x < pixels.width()) {
      while (x < pixels.width() && (line[x] & RGB_MASK) == key) ++x;
      const int start = x;
      while (x < pixels.width() && (line[x] & RGB_MASK) != key) ++x;
      if (x > start) runs.emplace_back(start, y, x - start, 1);
    }
  }
  // The region takes its rectangles in top-to-bottom, left-to-right order.
  std::sort(runs.begin(), runs.end(),
            [](const QRect& a, const QRect& b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); });
  QRegion region;
  region.setRects(runs.data(), static_cast<int>(runs.size()));
  return region;
}

bool CSplashScreenEx::FadingAvailable() {
  // The offscreen and minimal platforms keep no window opacity; X11 and Wayland blend.
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

CSplashScreenEx::CSplashScreenEx() : QWidget(nullptr), font_(QGuiApplication::font()), fading_(FadingAvailable()) {
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_QuitOnClose, false);
  setAttribute(Qt::WA_NoSystemBackground);
  setCursor(Qt::ArrowCursor);
  displayTimer_.setSingleShot(true);
  connect(&displayTimer_, &QTimer::timeout, this, &CSplashScreenEx::Hide);
}

bool CSplashScreenEx::Create(QWidget* parent, const QString& text, int displayTime, unsigned style) {
  parent_ = parent;
  text_ = text;
  displayTime_ = displayTime;
  style_ = style;
  Qt::WindowFlags flags = Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool;
  if (!(style & kShadow)) flags |= Qt::NoDropShadowWindowHint;
  setParent(parent, flags);
  setObjectName(QStringLiteral("SplashScreenEx"));
  return true;
}

bool CSplashScreenEx::SetBitmap(const QImage& picture, int red, int green, int blue) {
  if (picture.isNull()) return false;
  picture_ = picture.convertToFormat(QImage::Format_RGB32);
  resize(picture_.size());
  QPoint at = pos();
  if (style_ & kCenterScreen) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, picture_.width(), picture_.height());
    at = QPoint(area.x() + (area.width() - picture_.width()) / 2, area.y() + (area.height() - picture_.height()) / 2);
  } else if ((style_ & kCenterParent) && parent_) {
    const QRect area = parent_->frameGeometry();
    at = QPoint(area.x() + (area.width() - picture_.width()) / 2, area.y() + (area.height() - picture_.height()) / 2);
  }
  move(at);
  if (red == -1 || green == -1 || blue == -1) {
    region_ = QRegion(picture_.rect());
    clearMask();
  } else {
    region_ = RegionFromColor(picture_, qRgb(red, green, blue));
    setMask(region_);
  }
  return true;
}

void CSplashScreenEx::Show() {
  if ((style_ & kFadeIn) && fading_) {
    setWindowOpacity(0.0);
    show();
    fade_ = new QPropertyAnimation(this, "windowOpacity", this);
    fade_->setDuration(kFadeInTime);
    fade_->setStartValue(0.0);
    fade_->setEndValue(1.0);
    connect(fade_, &QPropertyAnimation::finished, this, &CSplashScreenEx::OnFullyShown);
    fade_->start(QAbstractAnimation::DeleteWhenStopped);
  } else {
    show();
    OnFullyShown();
  }
}

void CSplashScreenEx::OnFullyShown() {
  fade_ = nullptr;
  Q_EMIT shown();
  if (displayTime_ != 0 && !hiding_) displayTimer_.start(displayTime_);
}

void CSplashScreenEx::Hide() {
  if (hiding_) return;
  hiding_ = true;
  displayTimer_.stop();
  if (fade_) fade_->stop();  // a press during the fade-in
  if ((style_ & kFadeOut) && fading_ && isVisible()) {
    auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
    fade->setDuration(kFadeOutTime);
    fade->setStartValue(windowOpacity());
    fade->setEndValue(0.0);
    connect(fade, &QPropertyAnimation::finished, this, &CSplashScreenEx::Finish);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
  } else {
    Finish();
  }
}

void CSplashScreenEx::Finish() {
  Q_EMIT hidden();
  close();  // deletes the object (WA_DeleteOnClose)
}

void CSplashScreenEx::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, picture_);
  if (!text_.isEmpty()) {
    painter.setFont(font_);
    painter.setPen(textColor_);
    painter.drawText(textRect_, textFormat_, text_);
  }
}

bool CSplashScreenEx::HideOnInput(QEvent* event) {
  if (!(style_ & kHideOnInput)) return false;
  event->accept();
  Hide();
  return true;
}

void CSplashScreenEx::mousePressEvent(QMouseEvent* event) {
  if (!HideOnInput(event)) QWidget::mousePressEvent(event);
}

void CSplashScreenEx::keyPressEvent(QKeyEvent* event) {
  if (!HideOnInput(event)) QWidget::keyPressEvent(event);
}

}  // namespace tarnwick::ui
