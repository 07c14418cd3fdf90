#include "ui/Icons.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdlib>
#include <iterator>

// The pictures are compiled into this static library; a program linking it must register them.
static void RegisterPictures() { Q_INIT_RESOURCE(tarnwick); }

namespace tarnwick::ui {
namespace {

constexpr QRgb kSplashKey = qRgb(255, 0, 255);

// The renderer smooths every edge, which blends the transparent colour into the border pixels of
// the picture: each border pixel becomes transparent when it is mostly the key colour, else takes
// the colour of its neighbour further inside.
void UnblendKeyEdges(QImage& image, QRgb key) {
  const QImage source = image.copy();
  const auto at = [&](int x, int y) { return source.pixel(x, y) & RGB_MASK; };
  const int steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  for (int y = 1; y + 1 < source.height(); ++y) {
    for (int x = 1; x + 1 < source.width(); ++x) {
      const QRgb pixel = at(x, y);
      if (pixel == (key & RGB_MASK)) continue;
      for (const auto& step : steps) {
        if (at(x + step[0], y + step[1]) != (key & RGB_MASK)) continue;
        const int ix = x - step[0], iy = y - step[1];
        const QRgb inside = at(ix, iy);
        if (inside == (key & RGB_MASK)) break;
        // pixel = share * key + (1 - share) * inside, measured on the channel that differs most.
        const int channels[3][3] = {{qRed(pixel), qRed(inside), qRed(key)},
                                    {qGreen(pixel), qGreen(inside), qGreen(key)},
                                    {qBlue(pixel), qBlue(inside), qBlue(key)}};
        int widest = 0;
        for (int c = 1; c < 3; ++c) {
          if (std::abs(channels[c][2] - channels[c][1]) > std::abs(channels[widest][2] - channels[widest][1]))
            widest = c;
        }
        const int span = channels[widest][2] - channels[widest][1];
        const double share = span == 0 ? 0.0 : double(channels[widest][0] - channels[widest][1]) / span;
        image.setPixel(x, y, share >= 0.5 ? key : inside);
        break;
      }
    }
  }
}

void EnsurePictures() {
  static const bool registered = (RegisterPictures(), true);
  (void)registered;
}

}  // namespace

QIcon ProgramIcon(const char* name) {
  EnsurePictures();
  const QString path = QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
  if (!QFile::exists(path)) return {};
  return QIcon(path);
}

QIcon ItemIcon(int index) {
  static const char* const kNames[] = {"item-folder",        "item-folder-open",        "item-file",
                                       "item-parent",        "item-folder-added",       "item-file-added",
                                       "item-remote-folder", "item-remote-folder-open", "item-host"};
  if (index < 0 || index >= static_cast<int>(std::size(kNames))) return {};
  return ProgramIcon(kNames[index]);
}

QIcon PingLineIcon(int kind) {
  static const char* const kNames[] = {"ping-error", "ping-header", "ping-reply", "ping-timeout"};
  if (kind < 0 || kind >= static_cast<int>(std::size(kNames))) return {};
  return ProgramIcon(kNames[kind]);
}

QImage SplashPicture() {
  EnsurePictures();
  QFile file(QStringLiteral(":/splash.svg"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QSvgRenderer renderer(file.readAll());
  if (!renderer.isValid()) return {};
  QImage image(renderer.defaultSize(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  renderer.render(&painter);
  painter.end();
  UnblendKeyEdges(image, kSplashKey);
  return image;
}

}  // namespace tarnwick::ui
