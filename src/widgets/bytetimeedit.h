#pragma once

#include <QByteArray>
#include <QLineEdit>
#include <optional>

class TVal;

// A time of day typed as "HH:mm:ss" in overwrite mode, like ByteDateEdit; a keystroke that would
// make a field out of range is refused by the TVal validator. Stepping forward past 23:59:59 wraps
// to 00:00:00, stepping back from 00:00:00 does nothing.
class ByteTimeEdit final : public QLineEdit
{
    Q_OBJECT

public:
    // Code page 1251 text; absent means "00:00:00".
    explicit ByteTimeEdit(
        const std::optional<QByteArray> &initialText = std::nullopt, QWidget *parent = nullptr);

    [[nodiscard]] bool isReformatted() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void step(int delta);

    TVal *m_validator;
};
