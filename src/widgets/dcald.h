#pragma once

#include <QDate>
#include <QDialog>

class QCalendarWidget;

// The calendar behind a date field's "K" button: "Ok" and "Can" confirm or cancel, "Y+" and "Y-"
// move the selected date by a year. In mode 0 a click on a day confirms at once.
class DCald final : public QDialog
{
    Q_OBJECT

public:
    explicit DCald(const QDate &date, QWidget *parent = nullptr, int mode = 0);

    // Read the selected date here once exec() returned QDialog::Accepted.
    [[nodiscard]] QCalendarWidget *calendar() const { return m_calendar; }

public slots:
    // Connected to "Y+" (one year forward) and "Y-" (one year back).
    void Ypm();

private:
    QCalendarWidget *m_calendar;
};
