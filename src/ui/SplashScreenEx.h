// The splash screen: a borderless picture window shaped by the picture's transparent colour, which
// fades in, stays for its display time and fades out by itself, then deletes itself.
#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QTimer>
#include <QWidget>

class QPropertyAnimation;

namespace tarnwick::ui {

// The pixels of `image` whose colour is not `transparent`, as one-pixel-high runs, rows from the
// bottom up.
QRegion RegionFromColor(const QImage& image, QRgb transparent);

class CSplashScreenEx : public QWidget {
  Q_OBJECT
 public:
  enum Style : unsigned {
    kFadeIn = 1,
    kFadeOut = 2,
    kShadow = 4,
    kCenterScreen = 8,
    kCenterParent = 16,
    kHideOnInput = 32,
  };
  static constexpr int kFadeInTime = 500;   // ms
  static constexpr int kFadeOutTime = 200;  // ms
  static constexpr int kStartupDisplayTime = 300;
  static constexpr unsigned kStartupStyle = kFadeIn | kFadeOut | kCenterScreen;

  CSplashScreenEx();

  // Stores the values and makes the top-most tool window owned by `parent` (may be null).
  // `displayTime` 0 keeps the splash until Hide() (or a press with kHideOnInput).
  bool Create(QWidget* parent, const QString& text, int displayTime, unsigned style);
  // Takes the picture and its size; centres the window as the style says; shapes it by the pixels
  // that are not RGB(red, green, blue), unless a component is -1. False for a null picture.
  bool SetBitmap(const QImage& picture, int red, int green, int blue);
  void SetTextRect(const QRect& rect) { textRect_ = rect; }
  void SetTextColor(const QColor& color) { textColor_ = color; }
  void SetTextFormat(int flags) { textFormat_ = flags; }

  // Fades in (with kFadeIn) or shows it, then starts the display timer.
  void Show();
  // Fades out (with kFadeOut) or hides it, then closes the window, which deletes the object.
  void Hide();

  // Where the platform cannot blend windows the splash shows and hides plainly.
  static bool FadingAvailable();
  void SetFadingAvailable(bool available) { fading_ = available; }

  unsigned StyleBits() const { return style_; }
  int DisplayTime() const { return displayTime_; }
  QRegion Shape() const { return region_; }

 Q_SIGNALS:
  void shown();   // fully visible: the fade-in is over
  void hidden();  // gone: the fade-out is over, the window closes

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnFullyShown();
  // With kHideOnInput a press hides the splash and is consumed.
  bool HideOnInput(QEvent* event);
  void Finish();

  QPointer<QWidget> parent_;
  QImage picture_;
  QString text_;
  QFont font_;
  QRect textRect_;
  QColor textColor_ = Qt::black;
  int textFormat_ = Qt::AlignCenter | Qt::TextSingleLine;
  int displayTime_ = 2000;
  unsigned style_ = 0;
  QRegion region_;
  bool fading_;
  bool hiding_ = false;
  QTimer displayTimer_;
  QPropertyAnimation* fade_ = nullptr;
};

}  // namespace tarnwick::ui
