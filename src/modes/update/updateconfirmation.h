#pragma once

#include <QDialog>

class QLabel;

// Asks the user whether to install what an update found newer: "Naydeno" on yellow, the update's
// "readme" (it may carry links, which open in the browser), and "Obn" / "Can". The user agreed
// exactly when exec() ends with Accepted.
class UpdateConfirmation final : public QDialog
{
    Q_OBJECT

public:
    // readmePath names the update's "readme"; a missing file leaves its part empty.
    explicit UpdateConfirmation(const QString &readmePath, QWidget *parent = nullptr);

    [[nodiscard]] QLabel *readmeLabel() const { return m_readme; }

private:
    QLabel *m_readme = nullptr;
};
