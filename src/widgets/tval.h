#pragma once

#include <QValidator>

// Overwrite typing and normalisation of "HH:mm:ss"; a field out of range refuses the keystroke.
class TVal final : public QValidator
{
public:
    explicit TVal(QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;
};
