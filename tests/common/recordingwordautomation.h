#pragma once

#include "platform/word/wordautomation.h"

#include <QSet>
#include <QStringList>

// Keeps every call as one line, "receiver.name arguments" ("font.SetSize 12",
// "application.Visible = true" for properties), so that tests compare whole call sequences.
// An object named with setMissing() is not found when it is asked for.
class RecordingWordAutomation final : public WordAutomation
{
public:
    // name: "Word.Application", "Documents()", "Selection()", ... as sent to the word processor.
    void setMissing(const QString &name);
    [[nodiscard]] QStringList calls() const { return m_calls; }

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
    void record(const char *receiver, const char *name, const QString &arguments = {});
    bool query(const char *receiver, const char *name);

    QStringList m_calls;
    QSet<QString> m_missing;
};
