#include "support/dates.h"

#include "support/stringlist.h"
#include "support/strings.h"

bool Dates::isLeapYear(int year)
{
    return year % 4 == 0 && year % 4000 != 0 && (year % 100 != 0 || year % 400 == 0);
}

int Dates::daysInMonth(int month, int year)
{
    static constexpr int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    if (month == 2 && isLeapYear(year))
        return 29;
    return lengths[month - 1];
}

QList<qint16> Dates::numbersOf(QByteArrayView text)
{
    const StringList words = StringList::words(text);
    QList<qint16> numbers;
    numbers.reserve(words.count());
    for (const QByteArray &word : words)
        numbers.append(static_cast<qint16>(Strings::number(word)));
    return numbers;
}
