#pragma once

#include "platform/word/wordautomation.h"

#include <QPointer>
#include <memory>

class QAxObject;

// Microsoft Word through ActiveQt (Windows only). Every object asked for is a child of the
// application object and is deleted with it.
class AxWordAutomation final : public WordAutomation
{
public:
    AxWordAutomation();
    ~AxWordAutomation() override;

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
    std::unique_ptr<QAxObject> m_application;
    QPointer<QAxObject> m_documents;
    QPointer<QAxObject> m_options;
    QPointer<QAxObject> m_activeDocument;
    QPointer<QAxObject> m_selection;
    QPointer<QAxObject> m_font;
    QPointer<QAxObject> m_paragraphFormat;
};
