#include "modes/modeentries.h"

#include "modes/word/wordexport.h"
#include "platform/word/wordbackend.h"

void Modes::exportToWord(const QByteArray &path)
{
    const std::unique_ptr<WordAutomation> word = WordBackend::createDefault();
    WordExport::exportToWord(path, *word);
}
