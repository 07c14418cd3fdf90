#include "ui/HintTreeView.h"

#include <QAction>
#include <QPainter>

#include "ui/CommandTable.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {
namespace {

QString WithoutMnemonic(QString text) { return text.remove(QLatin1Char('&')); }

}  // namespace

void CHintTreeView::SetEmptyHint(const QString& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  viewport()->update();
}

void CHintTreeView::paintEvent(QPaintEvent* event) {
  QTreeView::paintEvent(event);
  if (hint_.isEmpty() || model() == nullptr || model()->rowCount(rootIndex()) > 0) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::PlaceholderText));
  constexpr int kMargin = 12;
  painter.drawText(viewport()->rect().adjusted(kMargin, kMargin, -kMargin, -kMargin),
                   Qt::AlignCenter | Qt::TextWordWrap, hint_);
}

QString MenuPathOf(unsigned id, const QAction& action) {
  QString menu;
  for (const MenuSpec& bar : MainMenu()) {
    for (unsigned item : bar.items) {
      if (item == id) menu = WithoutMnemonic(QString::fromUtf8(bar.title));
    }
  }
  const QString item = WithoutMnemonic(action.text());
  const QKeySequence keys = action.shortcut();
  if (keys.isEmpty()) return UiString(IDS_MENU_PATH).arg(menu, item);
  return UiString(IDS_MENU_PATH_KEY).arg(menu, item, keys.toString(QKeySequence::NativeText));
}

void HintAtCommand(CHintTreeView& list, unsigned textId, unsigned id, QAction& action) {
  const auto follow = [&list, textId, id, &action] { list.SetEmptyHint(UiString(textId).arg(MenuPathOf(id, action))); };
  follow();
  QObject::connect(&action, &QAction::changed, &list, follow);
}

}  // namespace tarnwick::ui
