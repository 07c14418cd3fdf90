// The schedule pages' conversions between the record's times (seconds since the epoch, of which
// only the date or only the time of day counts) and the pickers, and the reading of their number
// edits, whose text may be anything while it is being typed.
#pragma once

#include <QDate>
#include <QTime>
#include <ctime>
#include <optional>

class QSpinBox;

namespace tarnwick::ui {

QTime TimeOfDay(std::time_t when);
QDate DateOf(std::time_t when);
// `when` with its time of day, or its date, replaced (local time).
std::time_t WithTimeOfDay(std::time_t when, QTime time);
std::time_t WithDate(std::time_t when, QDate date);

// The number typed into a spin box's edit; nullopt when the text is not a number (an erased
// field, say).
std::optional<int> TypedNumber(const QSpinBox* spin);
// The typed number, 1 when it is 0 or not a number.
int TypedCount(const QSpinBox* spin);

// A number edit with a spin of the range given. Its text may be emptied or hold 0: what it cannot
// take as a value stays as typed when the focus leaves it or Enter is pressed (Enter then goes on
// to the dialog's default button), so the dialog's OK reads it with TypedNumber and applies its own
// rule (a default, or a refusal) instead of the old value.
QSpinBox* NumberSpin(int minimum, int maximum, QWidget* parent);

}  // namespace tarnwick::ui
