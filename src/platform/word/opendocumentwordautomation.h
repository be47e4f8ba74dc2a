#pragma once

#include "platform/word/textdocument.h"
#include "platform/word/wordautomation.h"

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

// The word processor where there is no Word to automate: the calls build a TextDocument, and
// when the application object is deleted the document is written as a flat OpenDocument text
// into a new file of the given directory and, if the application was made visible, handed to
// the opener (by default the desktop's handler of the file type, that is its word processor).
class OpenDocumentWordAutomation final : public WordAutomation
{
public:
    using Opener = std::function<bool(const QUrl &)>;

    // An empty directory means the system's temporary directory.
    explicit OpenDocumentWordAutomation(const QString &directory = {}, Opener opener = {});

    // The file written by deleteApplication(); empty before, or when writing failed.
    [[nodiscard]] QString writtenPath() const { return m_writtenPath; }
    // The document while the calls build it.
    [[nodiscard]] const std::optional<TextDocument> &document() const { return m_document; }

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

    // The desktop's handler of the URL.
    [[nodiscard]] static bool openWithDesktop(const QUrl &url);

private:
    [[nodiscard]] bool writeDocument();

    QString m_directory;
    Opener m_opener;
    bool m_running = false;
    bool m_visible = false;
    std::optional<TextDocument> m_document;
    QString m_writtenPath;
};
