#pragma once

#include <QByteArray>
#include <QLineEdit>
#include <optional>

class DVal;

// A date typed as "dd.MM.yyyy" in overwrite mode: a digit replaces the digit after the cursor,
// the cursor never rests in front of a separator after typing, Up and Down step the field under
// the cursor. Characters are never removed, so the text keeps its shape. The rewriting is done by
// the DVal validator installed on the edit.
class ByteDateEdit final : public QLineEdit
{
    Q_OBJECT

public:
    // Code page 1251 text; absent means today.
    explicit ByteDateEdit(
        const std::optional<QByteArray> &initialText = std::nullopt, QWidget *parent = nullptr);

    // True while the validator's rewritten text is being handed back to it by the line edit.
    [[nodiscard]] bool isReformatted() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void step(int delta);

    DVal *m_validator;
};
