#include "ui/ScheduleFields.h"

#include <QSpinBox>

#include "schedule/ScheduleRecord.h"

namespace tarnwick::ui {

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
  auto* spin = new QSpinBox(parent);
  spin->setRange(minimum, maximum);
  return spin;
}

}  // namespace tarnwick::ui
