#include "platform/word/comwordautomation.h"

#include <objbase.h>

namespace {

// The names carry ActiveQt's signatures ("Documents()", "ParagraphFormat ()"); COM knows a member
// by its bare name.
QString member(const char *name)
{
    const QString signature = QString::fromLatin1(name);
    return signature.left(signature.indexOf(u'(')).trimmed();
}

// ActiveQt reaches the writable property P through its setter slot "SetP"; COM puts P itself.
QString setterProperty(const char *name)
{
    return member(name).mid(3);
}

} // namespace

ComWordAutomation::ComWordAutomation() = default;

ComWordAutomation::~ComWordAutomation()
{
    deleteApplication();
}

bool ComWordAutomation::createApplication()
{
    if (!m_comInitialised) {
        // A thread that already runs COM in another apartment can still create the object.
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (FAILED(hr) && hr != RPC_E_CHANGED_MODE)
            return false;
        m_comInitialised = SUCCEEDED(hr);
    }
    m_application = DispatchObject::create(QString::fromLatin1(ApplicationName));
    return !m_application.isNull();
}

void ComWordAutomation::setVisible(bool visible)
{
    m_application.put(member(VisibleName), visible);
}

bool ComWordAutomation::queryDocuments()
{
    m_documents = m_application.get(member(DocumentsName));
    return !m_documents.isNull();
}

void ComWordAutomation::addDocument()
{
    // The new document is reached as the active one; the answer is not kept.
    (void)m_documents.get(member(AddName));
}

bool ComWordAutomation::queryOptions()
{
    m_options = m_application.get(member(OptionsName));
    return !m_options.isNull();
}

void ComWordAutomation::setCheckSpellingAsYouType(bool on)
{
    m_options.put(member(CheckSpellingName), on);
}

bool ComWordAutomation::queryActiveDocument()
{
    m_activeDocument = m_application.get(member(ActiveDocumentName));
    return !m_activeDocument.isNull();
}

bool ComWordAutomation::querySelection()
{
    m_selection = m_application.get(member(SelectionName));
    return !m_selection.isNull();
}

bool ComWordAutomation::querySelectionFont()
{
    m_font = m_selection.get(member(FontName));
    return !m_font.isNull();
}

void ComWordAutomation::setFontSize(int size)
{
    m_font.put(setterProperty(SetSizeName), size);
}

void ComWordAutomation::setFontName(const QString &name)
{
    m_font.put(setterProperty(SetNameName), name);
}

void ComWordAutomation::typeText(const QString &text)
{
    m_selection.call(member(TypeTextName), {text});
}

bool ComWordAutomation::queryParagraphFormat()
{
    m_paragraphFormat = m_selection.get(member(ParagraphFormatName));
    return !m_paragraphFormat.isNull();
}

void ComWordAutomation::setAlignment(int alignment)
{
    m_paragraphFormat.put(setterProperty(SetAlignmentName), alignment);
}

void ComWordAutomation::typeParagraph()
{
    m_selection.call(member(TypeParagraphName));
}

void ComWordAutomation::goTo(int what, int which, int count)
{
    // GoTo answers with the range it went to, which is not needed.
    (void)m_selection.get(member(GoToName), {what, which, count});
}

void ComWordAutomation::setSaved(bool saved)
{
    m_activeDocument.put(member(SavedName), saved);
}

void ComWordAutomation::deleteApplication()
{
    // The objects asked of the application go first, the application last, so that Word sees
    // its last reference dropped; then the apartment, which unloads an in-process server.
    m_paragraphFormat.reset();
    m_font.reset();
    m_selection.reset();
    m_activeDocument.reset();
    m_options.reset();
    m_documents.reset();
    m_application.reset();
    if (m_comInitialised) {
        CoUninitialize();
        m_comInitialised = false;
    }
}
