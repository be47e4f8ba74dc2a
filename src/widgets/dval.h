#pragma once

#include <QValidator>

// Overwrite typing and normalisation of "dd.MM.yyyy". A date is never refused, only corrected:
// a month above 12 becomes 10, a day beyond the month's end becomes its last day.
class DVal final : public QValidator
{
public:
    explicit DVal(QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;

    // True while the text rewritten by validate() is being handed back to it by the line edit:
    // that echo must not be overtyped again. The edit clears it before every keystroke of its own.
    [[nodiscard]] bool isReformatted() const { return m_reformatted; }
    void setReformatted(bool on) { m_reformatted = on; }

private:
    mutable bool m_reformatted = false;
};
