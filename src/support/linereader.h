#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// The one line reader of the program's 8-bit text files, over text held in memory. It reads the
// way a C stream does: every CR is dropped, LF ends a line, and a text that ends with LF (or an
// empty text) yields one more empty line before the end.
//
// The lines are views into text(); they stay valid as long as text() or any copy of it lives,
// which lets the catalog keep its lines without copying them.
class LineReader final
{
public:
    explicit LineReader(QByteArray text);

    [[nodiscard]] const QByteArray &text() const { return m_text; }

    // Characters up to LF or the end; nullopt once the end was reached.
    [[nodiscard]] std::optional<QByteArrayView> readLine();
    // The next line that neither begins with '*' nor holds only blanks.
    [[nodiscard]] std::optional<QByteArrayView> readSignificantLine();

private:
    QByteArray m_text;
    qsizetype m_pos = 0;
};
