#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The program keeps its 8-bit text in code page 1251; its own files are code page 866 on disk.
// Every conversion between 8-bit text and QString goes through here, so that no other code
// depends on the locale or on Qt's choice of 8-bit codec. Both pages are ASCII in their lower
// half; their upper halves are the tables of codepage.cpp.
namespace CodePage {

// Bytes 0x80-0xAF gain 0x40, 0xE0-0xEF gain 0x10, 0xF0 -> 0xA8, 0xF1 -> 0xB8; all others stay.
void cp866ToCp1251(QByteArray &text);
[[nodiscard]] QByteArray cp866ToCp1251(QByteArrayView text);
[[nodiscard]] char cp866ByteToCp1251(char byte);

// Code page 1251 <-> Unicode. Characters that 1251 cannot hold become '?'.
[[nodiscard]] QString toUnicode(QByteArrayView cp1251);
[[nodiscard]] QByteArray fromUnicode(const QString &text);

// Code page 866 <-> Unicode. Characters that 866 cannot hold become '?'.
[[nodiscard]] QString cp866ToUnicode(QByteArrayView cp866);
[[nodiscard]] QByteArray unicodeToCp866(const QString &text);

} // namespace CodePage
