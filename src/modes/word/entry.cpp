#include "modes/modeentries.h"

// This build cannot export to a word processor yet.
void Modes::exportToWord(const QByteArray &)
{
}
