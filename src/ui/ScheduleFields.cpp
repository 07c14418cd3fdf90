#include "ui/ScheduleFields.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QSpinBox>

#include "schedule/ScheduleRecord.h"

namespace tarnwick::ui {
namespace {

// A plain spin box puts its old value back, unseen, when the focus leaves an erased field or Enter
// is pressed in it, and OK then takes that old value. This one leaves what it cannot take as a
// value standing, for the dialog's OK to judge by its own rule.
class CNumberSpin final : public QSpinBox {
 public:
  using QSpinBox::QSpinBox;

 protected:
  void focusOutEvent(QFocusEvent* event) override {
    if (TakesTypedText()) {
      QSpinBox::focusOutEvent(event);
      return;
    }
    static_cast<QObject*>(lineEdit())->event(event);  // the edit still stops its cursor
    update();                                         // and the frame loses its focus look
  }
  void hideEvent(QHideEvent* event) override {
    // Hidden with its dialog after OK: the spin box's own handling would put the old value back.
    if (TakesTypedText()) QSpinBox::hideEvent(event);
  }
  void keyPressEvent(QKeyEvent* event) override {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !TakesTypedText()) {
      event->ignore();  // on to the dialog's default button
      return;
    }
    QSpinBox::keyPressEvent(event);
  }

 private:
  bool TakesTypedText() const {
    QString text = lineEdit()->displayText();
    int position = lineEdit()->cursorPosition();
    return validate(text, position) == QValidator::Acceptable;
  }
};

}  // namespace

QTime TimeOfDay(std::time_t when) {
  const std::tm t = LocalFields(when);
  return QTime(t.tm_hour, t.tm_min);
}

QDate DateOf(std::time_t when) {
  const std::tm t = LocalFields(when);
  return QDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

std::time_t WithTimeOfDay(std::time_t when, QTime time) {
  const std::tm t = LocalFields(when);
  return MakeLocalTime(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, time.hour(), time.minute());
}

std::time_t WithDate(std::time_t when, QDate date) {
  const std::tm t = LocalFields(when);
  return MakeLocalTime(date.year(), date.month(), date.day(), t.tm_hour, t.tm_min, t.tm_sec);
}

std::optional<int> TypedNumber(const QSpinBox* spin) {
  bool ok = false;
  const int value = spin->cleanText().toInt(&ok);
  if (!ok) return std::nullopt;
  return value;
}

int TypedCount(const QSpinBox* spin) {
  const int value = TypedNumber(spin).value_or(0);
  return value == 0 ? 1 : value;
}

QSpinBox* NumberSpin(int minimum, int maximum, QWidget* parent) {
  auto* spin = new CNumberSpin(parent);
  spin->setRange(minimum, maximum);
  return spin;
}

}  // namespace tarnwick::ui
