#pragma once

#include <QValidator>

// Overwrite typing and normalisation of "HH:mm:ss"; a field out of range refuses the keystroke.
class TVal final : public QValidator
{
public:
    explicit TVal(QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;

    // True while the text rewritten by validate() is being handed back to it by the line edit:
    // that echo must not be overtyped again. The edit clears it before every keystroke of its own.
    [[nodiscard]] bool isReformatted() const { return m_reformatted; }
    void setReformatted(bool on) { m_reformatted = on; }

private:
    mutable bool m_reformatted = false;
};
