#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

// The program's one container of 8-bit text: items in insertion order. Capacity grows by a fixed
// step (20 by default, 1000 for whole files), linear rather than doubling, as the stored lists
// always did; capacity() reports it.
class StringList final
{
public:
    StringList() = default;
    explicit StringList(int growthStep);

    [[nodiscard]] int count() const { return int(m_items.size()); }
    [[nodiscard]] bool isEmpty() const { return m_items.isEmpty(); }
    [[nodiscard]] int capacity() const { return m_capacity; }
    [[nodiscard]] int growthStep() const { return m_growthStep; }
    [[nodiscard]] const QByteArray &at(int index) const { return m_items.at(index); }
    [[nodiscard]] QByteArray &operator[](int index) { return m_items[index]; }
    [[nodiscard]] const QList<QByteArray> &items() const { return m_items; }

    void clear();
    QByteArray &append(QByteArrayView text);
    QByteArray &appendCopy(QByteArrayView text, qsizetype n);
    // printf-style; the text is cut at 300 characters.
    QByteArray &appendFormatted(const char *format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(2, 3);
    void appendAll(const StringList &other);
    // An index outside the list does nothing.
    void remove(int index);
    // atoi of the item, 0 outside the list.
    [[nodiscard]] int numberAt(int index) const;
    // 1 + index of the first equal item, 0 when absent.
    [[nodiscard]] int positionOf(QByteArrayView text) const;

    // Pieces between separators; empty pieces dropped; the last piece loses its trailing
    // blanks and is dropped when nothing is left.
    [[nodiscard]] static StringList split(QByteArrayView text, char separator);
    // Blank-separated words.
    [[nodiscard]] static StringList words(QByteArrayView text);

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    void makeRoom();

    QList<QByteArray> m_items;
    int m_capacity = 0;
    int m_growthStep = 20;
};
