#include "modes/modeentries.h"

#include "modes/word/wordexport.h"
#include "platform/word/wordautomation.h"

void Modes::exportToWord(const QByteArray &path)
{
    const std::unique_ptr<WordAutomation> word = WordAutomation::createDefault();
    WordExport::exportToWord(path, *word);
}
