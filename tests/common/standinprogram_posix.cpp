#include "common/standinprogram.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace {

QString quoted(QString text)
{
    return u'\'' + text.replace(u"'"_s, u"'\\''"_s) + u'\'';
}

} // namespace

bool StandInProgram::write(const QString &path, const QStringList &steps)
{
    QString script = u"#!/bin/sh\ncode=0\n"_s;
    for (const QString &step : steps) {
        const QString value = step.section(u' ', 1);
        if (step == u"args")
            script += u"printf '%s|' \"$@\" >&2\n"_s;
        else if (step.startsWith(u"say "))
            script += u"printf '%s\\n' "_s + quoted(value) + u" >&2\n"_s;
        else if (step.startsWith(u"sleep "))
            script += u"sleep "_s + QString::number(value.toInt() / 1000.0) + u'\n';
        else if (step.startsWith(u"exit "))
            script += u"exit "_s + value + u'\n';
        else if (step == u"crash")
            script += u"kill -KILL $$\n"_s;
        else if (step.startsWith(u"touch "))
            script += u": > "_s + quoted(value).replace(u"{1}"_s, u"'\"$1\"'"_s) + u'\n';
        else if (step.startsWith(u"run "))
            script += quoted(value) + u" \"$@\"\ncode=$?\n"_s;
        else
            return false;
    }
    script += u"exit $code\n"_s;
    QFile file(path);
    const QByteArray bytes = script.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return file.setPermissions(file.permissions() | QFile::ExeOwner);
}
