#pragma once

#include <QByteArray>

class WordAutomation;

// Run mode "Word": types a text file written by the host application into a new document of the
// word processor, paragraph by paragraph, in Courier New 12 with justified paragraphs, and leaves
// the document open, unsaved and marked as saved, with the cursor at its start.
namespace WordExport {

// path: the file, 8-bit in code page 1251; read in code page 1251 and typed as Unicode.
// A file that cannot be opened gives only the "Cannot Open File: %s" warning and starts no word
// processor.
void exportToWord(const QByteArray &path, WordAutomation &word);

} // namespace WordExport
