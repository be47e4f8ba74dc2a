#include "common/recordingwordautomation.h"

using namespace Qt::StringLiterals;

namespace {

QString boolText(bool value)
{
    return value ? u"= true"_s : u"= false"_s;
}

} // namespace

void RecordingWordAutomation::setMissing(const QString &name)
{
    m_missing.insert(name);
}

void RecordingWordAutomation::record(const char *receiver, const char *name, const QString &arguments)
{
    QString line = QLatin1String(receiver);
    if (!line.isEmpty())
        line += u'.';
    line += QLatin1String(name);
    if (!arguments.isEmpty())
        line += u' ' + arguments;
    m_calls.append(line);
}

bool RecordingWordAutomation::query(const char *receiver, const char *name)
{
    record(receiver, name);
    return !m_missing.contains(QLatin1String(name));
}

bool RecordingWordAutomation::createApplication()
{
    m_calls.append(u"create "_s + QLatin1String(ApplicationName));
    return !m_missing.contains(QLatin1String(ApplicationName));
}

void RecordingWordAutomation::setVisible(bool visible)
{
    record("application", VisibleName, boolText(visible));
}

bool RecordingWordAutomation::queryDocuments()
{
    return query("application", DocumentsName);
}

void RecordingWordAutomation::addDocument()
{
    record("documents", AddName);
}

bool RecordingWordAutomation::queryOptions()
{
    return query("application", OptionsName);
}

void RecordingWordAutomation::setCheckSpellingAsYouType(bool on)
{
    record("options", CheckSpellingName, boolText(on));
}

bool RecordingWordAutomation::queryActiveDocument()
{
    return query("application", ActiveDocumentName);
}

bool RecordingWordAutomation::querySelection()
{
    return query("application", SelectionName);
}

bool RecordingWordAutomation::querySelectionFont()
{
    return query("selection", FontName);
}

void RecordingWordAutomation::setFontSize(int size)
{
    record("font", SetSizeName, QString::number(size));
}

void RecordingWordAutomation::setFontName(const QString &name)
{
    record("font", SetNameName, name);
}

void RecordingWordAutomation::typeText(const QString &text)
{
    record("selection", TypeTextName, u'"' + text + u'"');
}

bool RecordingWordAutomation::queryParagraphFormat()
{
    return query("selection", ParagraphFormatName);
}

void RecordingWordAutomation::setAlignment(int alignment)
{
    record("paragraphFormat", SetAlignmentName, QString::number(alignment));
}

void RecordingWordAutomation::typeParagraph()
{
    record("selection", TypeParagraphName);
}

void RecordingWordAutomation::goTo(int what, int which, int count)
{
    record("selection", GoToName, u"%1, %2, %3"_s.arg(what).arg(which).arg(count));
}

void RecordingWordAutomation::setSaved(bool saved)
{
    record("activeDocument", SavedName, boolText(saved));
}

void RecordingWordAutomation::deleteApplication()
{
    m_calls.append(u"delete application"_s);
}
