#include "platform/word/wordbackend.h"

#ifdef Q_OS_WIN
#include "platform/word/comwordautomation.h"
#else
#include "platform/word/opendocumentwordautomation.h"
#endif

std::unique_ptr<WordAutomation> WordBackend::createDefault()
{
#ifdef Q_OS_WIN
    return std::make_unique<ComWordAutomation>();
#else
    return std::make_unique<OpenDocumentWordAutomation>();
#endif
}
