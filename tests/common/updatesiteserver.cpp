#include "common/updatesiteserver.h"

#include <QDir>
#include <QFile>

#include <archive.h>
#include <archive_entry.h>
#include <memory>

UpdateSiteServer::UpdateSiteServer(QString user, QString password, quint16 port)
    : m_user(std::move(user))
    , m_password(std::move(password))
{
    m_server.setPort(port);
}

bool UpdateSiteServer::start()
{
    if (!m_root.isValid() || !QDir(m_root.path()).mkpath(QStringLiteral("UPDATE/LOGS"))) {
        m_lastError = QStringLiteral("no directory for the site");
        return false;
    }
    m_server.addUser(m_user, m_password, m_root.path(), QStringLiteral("elradfmw"));
    if (!m_server.start()) {
        m_lastError = m_server.lastError();
        return false;
    }
    return true;
}

bool UpdateSiteServer::putArchive(const QString &name, const QList<UpdateFile> &files)
{
    return makeArchive(m_root.filePath(QStringLiteral("UPDATE/") + name), files, &m_lastError);
}

bool UpdateSiteServer::putFile(const QString &name, const QByteArray &bytes)
{
    QFile file(m_root.filePath(QStringLiteral("UPDATE/") + name));
    QFile::remove(file.fileName());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray UpdateSiteServer::uploadedLog(const QString &name) const
{
    QFile file(m_root.filePath(QStringLiteral("UPDATE/LOGS/") + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool UpdateSiteServer::makeArchive(const QString &archivePath, const QList<UpdateFile> &files, QString *error)
{
    const auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    // A tar archive as bsdtar -cf writes it, made here so that no other program is needed.
    std::unique_ptr<archive, decltype(&archive_write_free)> writer(archive_write_new(), &archive_write_free);
    QByteArray bytes;
    const auto append = [](archive *, void *out, const void *data, size_t size) -> la_ssize_t {
        static_cast<QByteArray *>(out)->append(static_cast<const char *>(data), qsizetype(size));
        return la_ssize_t(size);
    };
    if (archive_write_set_format_pax_restricted(writer.get()) != ARCHIVE_OK
        || archive_write_open(writer.get(), &bytes, nullptr, append, nullptr) != ARCHIVE_OK)
        return fail(QString::fromUtf8(archive_error_string(writer.get())));
    for (const UpdateFile &file : files) {
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(
            archive_entry_new(), &archive_entry_free);
        archive_entry_set_pathname_utf8(entry.get(), file.path.toUtf8().constData());
        const qint64 msecs = file.modified.toMSecsSinceEpoch();
        archive_entry_set_mtime(entry.get(), msecs / 1000, long(msecs % 1000) * 1000000);
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), file.bytes.size());
        if (archive_write_header(writer.get(), entry.get()) != ARCHIVE_OK
            || archive_write_data(writer.get(), file.bytes.constData(), size_t(file.bytes.size()))
                != file.bytes.size())
            return fail(
                file.path + QStringLiteral(": ") + QString::fromUtf8(archive_error_string(writer.get())));
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK)
        return fail(QString::fromUtf8(archive_error_string(writer.get())));
    // Written anew, so that the name has the case given also where the test's file names do not
    // tell case apart (Windows) but the server's do: "KO10.rar" does not overwrite "ko10.rar".
    QFile::remove(archivePath);
    QFile out(archivePath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size()
        || !out.flush())
        return fail(QStringLiteral("cannot write ") + archivePath);
    return true;
}
