#include "modes/word/wordexport.h"

#include "platform/word/wordautomation.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"
#include "support/linereader.h"
#include "support/strings.h"
#include "support/textfile.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr int FontSize = 12;
constexpr int Justified = 3;
constexpr int GoToPage = 1;
constexpr int GoToFirst = 1;

// Steps up to the new, active document; false when the word processor lacks an object.
bool openDocument(WordAutomation &word)
{
    word.setVisible(true);
    if (!word.queryDocuments())
        return false;
    word.addDocument();
    if (!word.queryOptions())
        return false;
    word.setCheckSpellingAsYouType(false);
    return word.queryActiveDocument();
}

// One paragraph boundary: the font is set for every paragraph, the text and the alignment only
// when there is something other than blanks to type.
bool typeParagraph(WordAutomation &word, const std::optional<QByteArray> &pending)
{
    if (!word.querySelection() || !word.querySelectionFont())
        return false;
    word.setFontSize(FontSize);
    word.setFontName(u"Courier New"_s);
    if (pending && Strings::firstNonBlank(*pending) != 0) {
        word.typeText(CodePage::toUnicode(*pending));
        if (!word.queryParagraphFormat())
            return false;
        word.setAlignment(Justified);
    }
    word.typeParagraph();
    return true;
}

// Types the lines of the file; false when the word processor lacks an object on the way.
bool typeLines(WordAutomation &word, LineReader &reader)
{
    std::optional<QByteArray> pending;
    while (const std::optional<QByteArrayView> view = reader.readLine()) {
        QByteArray line = view->toByteArray();
        const qsizetype marker = line.indexOf("@@");
        if (marker >= 0)
            line.truncate(marker);
        if (Strings::firstNonBlank(line) == 0 || line.startsWith(' ')) {
            if (!typeParagraph(word, pending))
                return false;
            pending.reset();
        }
        Strings::normaliseBlanks(line);
        // A line's trailing blank is dropped when it is appended too, so that the lines of a
        // paragraph are always joined by exactly one blank.
        Strings::trimTrailing(line);
        if (!pending)
            pending = line;
        else
            *pending += ' ' + line;
    }
    if (pending && Strings::firstNonBlank(*pending) != 0)
        return typeParagraph(word, pending);
    return true;
}

void finishDocument(WordAutomation &word)
{
    if (!word.querySelection())
        return;
    word.goTo(GoToPage, GoToFirst, 1);
    word.setSaved(true);
}

} // namespace

void WordExport::exportToWord(const QByteArray &path, WordAutomation &word)
{
    const FileResult<QByteArray> contents = TextFile::readWhole(CodePage::toUnicode(path));
    if (!Diagnostics::warnIfFailed(contents))
        return;
    if (!word.createApplication()) {
        Diagnostics::warning("NoWord");
        return;
    }
    LineReader reader(*contents);
    const bool complete = openDocument(word) && typeLines(word, reader);
    if (complete)
        finishDocument(word);
    else
        Diagnostics::warning("NoWord");
    word.deleteApplication();
}
