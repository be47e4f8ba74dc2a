#pragma once

#include "platform/word/dispatchobject.h"
#include "platform/word/wordautomation.h"

// Microsoft Word through COM automation (Windows only): every call is made by name through
// IDispatch, as ActiveQt's QAxObject would make it. Every object asked for is released with the
// application object.
class ComWordAutomation final : public WordAutomation
{
public:
    ComWordAutomation();
    ~ComWordAutomation() override;
    ComWordAutomation(const ComWordAutomation &) = delete;
    ComWordAutomation &operator=(const ComWordAutomation &) = delete;

    bool createApplication() override;
    void setVisible(bool visible) override;
    bool queryDocuments() override;
    void addDocument() override;
    bool queryOptions() override;
    void setCheckSpellingAsYouType(bool on) override;
    bool queryActiveDocument() override;
    bool querySelection() override;
    bool querySelectionFont() override;
    void setFontSize(int size) override;
    void setFontName(const QString &name) override;
    void typeText(const QString &text) override;
    bool queryParagraphFormat() override;
    void setAlignment(int alignment) override;
    void typeParagraph() override;
    void goTo(int what, int which, int count) override;
    void setSaved(bool saved) override;
    void deleteApplication() override;

private:
    // Whether this object initialised COM on its thread and so has to uninitialise it.
    bool m_comInitialised = false;
    DispatchObject m_application;
    DispatchObject m_documents;
    DispatchObject m_options;
    DispatchObject m_activeDocument;
    DispatchObject m_selection;
    DispatchObject m_font;
    DispatchObject m_paragraphFormat;
};
