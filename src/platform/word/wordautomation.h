#pragma once

#include <QString>

// The word processor as the export sees it: the automation calls that Word understands, one
// member per call, in the order the export makes them. Each backend gives them its own meaning
// (Word through COM automation on Windows, an OpenDocument file elsewhere, a call log in tests).
//
// The query members return false when the object asked for does not exist (no automation server,
// a document that could not be opened); the export then stops typing and only deletes the
// application. The exact names below are what Word is called with.
class WordAutomation
{
public:
    // The names sent to the word processor, spaces and parentheses included.
    static constexpr const char *ApplicationName = "Word.Application";
    static constexpr const char *VisibleName = "Visible";
    static constexpr const char *DocumentsName = "Documents()";
    static constexpr const char *AddName = "Add()";
    static constexpr const char *OptionsName = "Options()";
    static constexpr const char *CheckSpellingName = "CheckSpellingAsYouType(bool)";
    static constexpr const char *ActiveDocumentName = "ActiveDocument()";
    static constexpr const char *SelectionName = "Selection()";
    static constexpr const char *FontName = "Font";
    static constexpr const char *SetSizeName = "SetSize";
    static constexpr const char *SetNameName = "SetName";
    static constexpr const char *TypeTextName = "TypeText(const QString&)";
    static constexpr const char *ParagraphFormatName = "ParagraphFormat ()";
    static constexpr const char *SetAlignmentName = "SetAlignment (WdParagraphAlignment)";
    static constexpr const char *TypeParagraphName = "TypeParagraph()";
    static constexpr const char *GoToName = "GoTo(int, int, int)";
    static constexpr const char *SavedName = "Saved";

    virtual ~WordAutomation() = default;

    // Creates "Word.Application" without a parent.
    [[nodiscard]] virtual bool createApplication() = 0;
    // application: setProperty "Visible".
    virtual void setVisible(bool visible) = 0;
    // application: querySubObject "Documents()".
    [[nodiscard]] virtual bool queryDocuments() = 0;
    // documents: querySubObject "Add()"; the new document becomes the active one.
    virtual void addDocument() = 0;
    // application: querySubObject "Options()".
    [[nodiscard]] virtual bool queryOptions() = 0;
    // options: setProperty "CheckSpellingAsYouType(bool)".
    virtual void setCheckSpellingAsYouType(bool on) = 0;
    // application: querySubObject "ActiveDocument()".
    [[nodiscard]] virtual bool queryActiveDocument() = 0;
    // application: querySubObject "Selection()"; asked again at every paragraph boundary and
    // once more at the end.
    [[nodiscard]] virtual bool querySelection() = 0;
    // selection: querySubObject "Font".
    [[nodiscard]] virtual bool querySelectionFont() = 0;
    // font: dynamicCall "SetSize".
    virtual void setFontSize(int size) = 0;
    // font: dynamicCall "SetName".
    virtual void setFontName(const QString &name) = 0;
    // selection: dynamicCall "TypeText(const QString&)".
    virtual void typeText(const QString &text) = 0;
    // selection: querySubObject "ParagraphFormat ()".
    [[nodiscard]] virtual bool queryParagraphFormat() = 0;
    // paragraph format: dynamicCall "SetAlignment (WdParagraphAlignment)"; 3 is justified.
    virtual void setAlignment(int alignment) = 0;
    // selection: dynamicCall "TypeParagraph()".
    virtual void typeParagraph() = 0;
    // selection: querySubObject "GoTo(int, int, int)"; 1, 1, 1 is the start of the document.
    virtual void goTo(int what, int which, int count) = 0;
    // active document: setProperty "Saved".
    virtual void setSaved(bool saved) = 0;
    // Deletes the application object and every object asked of it; the word processor keeps
    // running with the document.
    virtual void deleteApplication() = 0;
};
