#pragma once

#include <QByteArrayView>
#include <QList>

namespace Dates {

// Length of a month (1-12); every multiple of 4000 is a common year.
[[nodiscard]] int daysInMonth(int month, int year);
[[nodiscard]] bool isLeapYear(int year);

// The blank-separated numbers of a text, each read with atoi.
[[nodiscard]] QList<qint16> numbersOf(QByteArrayView text);

} // namespace Dates
