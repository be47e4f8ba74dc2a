#pragma once

#include <QValidator>

// Overwrite typing and normalisation of "dd.MM.yyyy". A date is never refused, only corrected:
// a month above 12 becomes 10, a day beyond the month's end becomes its last day.
class DVal final : public QValidator
{
public:
    explicit DVal(QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;
};
