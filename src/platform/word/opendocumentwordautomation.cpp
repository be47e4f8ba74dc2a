#include "platform/word/opendocumentwordautomation.h"

#include "platform/word/flatodtwriter.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"
#include "support/textfile.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

OpenDocumentWordAutomation::OpenDocumentWordAutomation(const QString &directory, Opener opener)
    : m_directory(directory.isEmpty() ? QDir::tempPath() : directory)
    , m_opener(opener ? std::move(opener) : Opener(&OpenDocumentWordAutomation::openWithDesktop))
{ }

bool OpenDocumentWordAutomation::openWithDesktop(const QUrl &url)
{
    if (!QGuiApplication::instance())
        return false;
    return QDesktopServices::openUrl(url);
}

bool OpenDocumentWordAutomation::createApplication()
{
    m_running = true;
    return true;
}

void OpenDocumentWordAutomation::setVisible(bool visible)
{
    m_visible = visible;
}

bool OpenDocumentWordAutomation::queryDocuments()
{
    return m_running;
}

void OpenDocumentWordAutomation::addDocument()
{
    if (m_running)
        m_document.emplace();
}

bool OpenDocumentWordAutomation::queryOptions()
{
    return m_running;
}

// A document file carries no spelling option of the word processor; its own setting holds.
void OpenDocumentWordAutomation::setCheckSpellingAsYouType(bool)
{ }

bool OpenDocumentWordAutomation::queryActiveDocument()
{
    return m_document.has_value();
}

bool OpenDocumentWordAutomation::querySelection()
{
    return m_document.has_value();
}

bool OpenDocumentWordAutomation::querySelectionFont()
{
    return m_document.has_value();
}

void OpenDocumentWordAutomation::setFontSize(int size)
{
    if (m_document)
        m_document->setFontSize(size);
}

void OpenDocumentWordAutomation::setFontName(const QString &name)
{
    if (m_document)
        m_document->setFontName(name);
}

void OpenDocumentWordAutomation::typeText(const QString &text)
{
    if (m_document)
        m_document->typeText(text);
}

bool OpenDocumentWordAutomation::queryParagraphFormat()
{
    return m_document.has_value();
}

void OpenDocumentWordAutomation::setAlignment(int alignment)
{
    if (m_document)
        m_document->setAlignment(alignment);
}

void OpenDocumentWordAutomation::typeParagraph()
{
    if (m_document)
        m_document->typeParagraph();
}

// Word's GoTo(wdGoToPage, wdGoToFirst, ...) is the start of the document; a file has no pages
// to go to otherwise.
void OpenDocumentWordAutomation::goTo(int what, int which, int)
{
    constexpr int GoToPage = 1;
    constexpr int GoToFirst = 1;
    if (m_document && what == GoToPage && which == GoToFirst)
        m_document->goToStart();
}

// The file is written fresh and whole; there are no unsaved changes to mark.
void OpenDocumentWordAutomation::setSaved(bool)
{ }

void OpenDocumentWordAutomation::deleteApplication()
{
    // The document was written whole; when no program takes it, the user is told where it is.
    if (m_running && m_document && writeDocument() && m_visible
        && !m_opener(QUrl::fromLocalFile(m_writtenPath))) {
        const QByteArray format
            = Catalog::checkedFormat("NoOpen", "s", "No program could open the document %s");
        Diagnostics::warningf(
            format.constData(), CodePage::fromUnicode(QDir::toNativeSeparators(m_writtenPath)).constData());
    }
    m_running = false;
}

bool OpenDocumentWordAutomation::writeDocument()
{
    // The temporary file only reserves a name that no other run uses; the document itself is
    // written whole through QSaveFile, so a failed write leaves no half document behind.
    // The reservation is let go before the write: on Windows the file stays held while the
    // QTemporaryFile lives, and QSaveFile could not replace it.
    QString path;
    {
        QTemporaryFile reserved(QDir(m_directory).filePath(u"tav-XXXXXX.fodt"_s));
        reserved.setAutoRemove(false);
        if (!reserved.open()) {
            Diagnostics::fileOpenWarning(QDir(m_directory).filePath(u"tav-XXXXXX.fodt"_s));
            return false;
        }
        path = reserved.fileName();
    }

    QByteArray contents;
    QBuffer buffer(&contents);
    buffer.open(QIODevice::WriteOnly);
    if (!FlatOdtWriter::write(*m_document, &buffer) || !TextFile::writeWhole(path, contents)) {
        QFile::remove(path);
        Diagnostics::fileOpenWarning(path);
        return false;
    }
    m_writtenPath = path;
    return true;
}
