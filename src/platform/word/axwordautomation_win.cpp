#include "platform/word/axwordautomation.h"

#include <QAxObject>
#include <QVariant>

// The objects asked for are children of the object that gave them (ActiveQt's rule), so all of
// them go with the application object; the QPointers only tell whether they are there.

AxWordAutomation::AxWordAutomation() = default;

AxWordAutomation::~AxWordAutomation() = default;

bool AxWordAutomation::createApplication()
{
    m_application = std::make_unique<QAxObject>(QString::fromLatin1(ApplicationName));
    if (m_application->isNull()) {
        m_application.reset();
        return false;
    }
    return true;
}

void AxWordAutomation::setVisible(bool visible)
{
    if (m_application)
        m_application->setProperty(VisibleName, visible);
}

bool AxWordAutomation::queryDocuments()
{
    m_documents = m_application ? m_application->querySubObject(DocumentsName) : nullptr;
    return !m_documents.isNull();
}

void AxWordAutomation::addDocument()
{
    if (m_documents)
        m_documents->querySubObject(AddName);
}

bool AxWordAutomation::queryOptions()
{
    m_options = m_application ? m_application->querySubObject(OptionsName) : nullptr;
    return !m_options.isNull();
}

void AxWordAutomation::setCheckSpellingAsYouType(bool on)
{
    if (m_options)
        m_options->setProperty(CheckSpellingName, on);
}

bool AxWordAutomation::queryActiveDocument()
{
    m_activeDocument = m_application ? m_application->querySubObject(ActiveDocumentName) : nullptr;
    return !m_activeDocument.isNull();
}

bool AxWordAutomation::querySelection()
{
    m_selection = m_application ? m_application->querySubObject(SelectionName) : nullptr;
    return !m_selection.isNull();
}

bool AxWordAutomation::querySelectionFont()
{
    m_font = m_selection ? m_selection->querySubObject(FontName) : nullptr;
    return !m_font.isNull();
}

void AxWordAutomation::setFontSize(int size)
{
    if (m_font)
        m_font->dynamicCall(SetSizeName, size);
}

void AxWordAutomation::setFontName(const QString &name)
{
    if (m_font)
        m_font->dynamicCall(SetNameName, name);
}

void AxWordAutomation::typeText(const QString &text)
{
    if (m_selection)
        m_selection->dynamicCall(TypeTextName, text);
}

bool AxWordAutomation::queryParagraphFormat()
{
    m_paragraphFormat = m_selection ? m_selection->querySubObject(ParagraphFormatName) : nullptr;
    return !m_paragraphFormat.isNull();
}

void AxWordAutomation::setAlignment(int alignment)
{
    if (m_paragraphFormat)
        m_paragraphFormat->dynamicCall(SetAlignmentName, alignment);
}

void AxWordAutomation::typeParagraph()
{
    if (m_selection)
        m_selection->dynamicCall(TypeParagraphName);
}

void AxWordAutomation::goTo(int what, int which, int count)
{
    if (m_selection)
        m_selection->querySubObject(GoToName, what, which, count);
}

void AxWordAutomation::setSaved(bool saved)
{
    if (m_activeDocument)
        m_activeDocument->setProperty(SavedName, saved);
}

void AxWordAutomation::deleteApplication()
{
    m_application.reset();
}
