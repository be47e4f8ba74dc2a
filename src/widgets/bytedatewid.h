#pragma once

#include <QByteArray>
#include <QWidget>
#include <optional>

class ByteDateEdit;
class QPushButton;

// The date field of the forms: a ByteDateEdit with a small "K" button beside it that picks the
// date from a calendar. The creator names the inner edit, so that its text is stored like that of
// any line edit.
class ByteDateWid final : public QWidget
{
    Q_OBJECT

public:
    // Code page 1251 text; absent means today.
    explicit ByteDateWid(
        const std::optional<QByteArray> &initialText = std::nullopt, QWidget *parent = nullptr);

    [[nodiscard]] ByteDateEdit *dateEdit() const { return m_edit; }
    [[nodiscard]] QPushButton *calendarButton() const { return m_button; }

public slots:
    // Opens the calendar on the edit's date (today when the text is no valid date) and writes a
    // confirmed choice back into the edit.
    void KClicked();

private:
    ByteDateEdit *m_edit;
    QPushButton *m_button;
};
