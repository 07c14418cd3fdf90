#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

#include "UiHarness.h"
#include "ui/Icons.h"
#include "ui/SplashScreenEx.h"

namespace tarnwick::ui::test {
namespace {

constexpr QRgb kKey = qRgb(255, 0, 255);

struct RegionCase {
  const char* name;
  std::vector<const char*> rows;  // '#' picture, '.' transparent colour
  std::vector<QRect> expected;    // the region's rectangles (any order)
};

void PrintTo(const RegionCase& c, std::ostream* os) { *os << c.name; }

class RegionFromKey : public ::testing::TestWithParam<RegionCase> {};

TEST_P(RegionFromKey, KeepsThePixelsThatAreNotTheKeyColour) {
  const RegionCase& c = GetParam();
  QImage image(static_cast<int>(std::string(c.rows[0]).size()), static_cast<int>(c.rows.size()), QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, c.rows[y][x] == '#' ? qRgb(10, 20, 30) : kKey);
  }
  QRegion expected;
  for (const QRect& r : c.expected) expected += r;
  const QRegion region = RegionFromColor(image, kKey);
  EXPECT_TRUE((region ^ expected).isEmpty()) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RegionFromKey,
    ::testing::Values(RegionCase{"all key", {"...", "..."}, {}},
                      RegionCase{"all picture", {"###", "###"}, {QRect(0, 0, 3, 2)}},
                      RegionCase{"run to the right edge", {"..##"}, {QRect(2, 0, 2, 1)}},
                      RegionCase{"two runs in a row", {"#..#", "...."}, {QRect(0, 0, 1, 1), QRect(3, 0, 1, 1)}},
                      RegionCase{"rounded corner", {".##.", "####"}, {QRect(1, 0, 2, 1), QRect(0, 1, 4, 1)}}));

TEST(Splash, PictureIsShapedByMagentaWithoutBlendedEdges) {
  const QImage picture = SplashPicture();
  ASSERT_EQ(picture.size(), QSize(400, 280));
  const QRegion shape = RegionFromColor(picture, kKey);
  for (const QRect& r : shape) {
    for (int y = r.top(); y <= r.bottom(); ++y) {
      for (int x = r.left(); x <= r.right(); ++x) {
        const QRgb p = picture.pixel(x, y);
        // A border pixel that is mostly magenta would show as a pink fringe.
        ASSERT_FALSE(qRed(p) > 200 && qBlue(p) > 200 && qGreen(p) < 60) << x << "," << y;
      }
    }
  }
}

TEST(Splash, FadesInStaysAndFadesOutThenDeletesItself) {
  QPointer<CSplashScreenEx> splash = new CSplashScreenEx;
  splash->SetFadingAvailable(true);
  ASSERT_TRUE(splash->Create(nullptr, {}, CSplashScreenEx::kStartupDisplayTime, CSplashScreenEx::kStartupStyle));
  ASSERT_TRUE(splash->SetBitmap(SplashPicture(), 255, 0, 255));
  EXPECT_EQ(splash->size(), QSize(400, 280));
  EXPECT_FALSE(splash->Shape().contains(QPoint(0, 0)));  // a magenta corner
  EXPECT_TRUE(splash->Shape().contains(QPoint(200, 140)));
  qint64 shownAt = -1, hiddenAt = -1;
  QElapsedTimer clock;
  QObject::connect(splash, &CSplashScreenEx::shown, [&] { shownAt = clock.elapsed(); });
  QObject::connect(splash, &CSplashScreenEx::hidden, [&] { hiddenAt = clock.elapsed(); });
  clock.start();
  splash->Show();
  EXPECT_TRUE(splash->isVisible());
  EXPECT_LT(splash->windowOpacity(), 0.5);
  ASSERT_TRUE(WaitFor([&] { return splash.isNull(); }, 5000));
  EXPECT_GE(shownAt, CSplashScreenEx::kFadeInTime - 20);
  EXPECT_LT(shownAt, CSplashScreenEx::kFadeInTime + 400);
  // Fully shown, it stays its display time and fades out over 200 ms.
  EXPECT_GE(hiddenAt - shownAt, CSplashScreenEx::kStartupDisplayTime + CSplashScreenEx::kFadeOutTime - 20);
  EXPECT_LT(hiddenAt - shownAt, CSplashScreenEx::kStartupDisplayTime + CSplashScreenEx::kFadeOutTime + 500);
}

TEST(Splash, ZeroDisplayTimeStaysUntilAKeyWithHideOnInput) {
  QPointer<CSplashScreenEx> splash = new CSplashScreenEx;
  splash->Create(nullptr, QStringLiteral("loading"), 0, CSplashScreenEx::kHideOnInput | CSplashScreenEx::kCenterScreen);
  splash->SetBitmap(SplashPicture(), -1, 0, 255);  // -1: rectangular
  EXPECT_EQ(splash->Shape(), QRegion(0, 0, 400, 280));
  splash->Show();  // no fading asked: shown at once
  QTest::qWait(400);
  ASSERT_FALSE(splash.isNull());
  EXPECT_TRUE(splash->isVisible());
  QTest::keyClick(splash.data(), Qt::Key_Escape);
  EXPECT_TRUE(WaitFor([&] { return splash.isNull(); }, 2000));
}

TEST(Splash, WithoutFadingItShowsAndHidesPlainly) {
  QPointer<CSplashScreenEx> splash = new CSplashScreenEx;
  splash->SetFadingAvailable(false);
  splash->Create(nullptr, {}, 100, CSplashScreenEx::kStartupStyle);
  splash->SetBitmap(SplashPicture(), 255, 0, 255);
  QElapsedTimer clock;
  clock.start();
  splash->Show();
  EXPECT_DOUBLE_EQ(splash->windowOpacity(), 1.0);
  ASSERT_TRUE(WaitFor([&] { return splash.isNull(); }, 3000));
  EXPECT_LT(clock.elapsed(), 100 + 400);
}

}  // namespace
}  // namespace tarnwick::ui::test
