#include "ui/Icons.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

namespace tarnwick::ui {

QIcon ProgramIcon(const char* name) {
  const QString path = QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
  if (!QFile::exists(path)) return {};
  return QIcon(path);
}

QImage SplashPicture() {
  QSvgRenderer renderer(QStringLiteral(":/splash.svg"));
  if (!renderer.isValid()) return {};
  QImage image(renderer.defaultSize(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  renderer.render(&painter);
  return image;
}

}  // namespace tarnwick::ui
