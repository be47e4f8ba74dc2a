#pragma once

#include <QString>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

// What a reader or writer of one file hands back: its value on success; otherwise the path that
// the user is to be told about ("Cannot Open File: <path>") and the system's reason. Support code
// shows nothing itself; the layer that talks to the user decides what to show.
// FileResult<> is the outcome of an operation without a value (a write, a load into a table).
template <typename T = std::monostate> class FileResult final
{
public:
    FileResult() requires std::is_same_v<T, std::monostate> : m_value(std::in_place) { }
    FileResult(T value)
        : m_value(std::move(value))
    { }

    [[nodiscard]] static FileResult failure(QString path, QString reason)
    {
        FileResult result{Failed()};
        result.m_path = std::move(path);
        result.m_errorString = std::move(reason);
        return result;
    }
    // The failure of another operation, handed on.
    template <typename U> [[nodiscard]] static FileResult failure(const FileResult<U> &failed)
    {
        return failure(failed.path(), failed.errorString());
    }

    [[nodiscard]] bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    // Only on success.
    [[nodiscard]] T &operator*() { return *m_value; }
    [[nodiscard]] const T &operator*() const { return *m_value; }
    [[nodiscard]] T *operator->() { return &*m_value; }
    [[nodiscard]] const T *operator->() const { return &*m_value; }

    // Only on failure: the file the message names, and why it failed.
    [[nodiscard]] const QString &path() const { return m_path; }
    [[nodiscard]] const QString &errorString() const { return m_errorString; }

private:
    struct Failed
    {
    };
    explicit FileResult(Failed) { }

    std::optional<T> m_value;
    QString m_path;
    QString m_errorString;
};
