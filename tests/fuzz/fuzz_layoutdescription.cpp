// Fuzz entry: any text as a dialog description. The parser must end, stay inside its limits
// and never read or write past the text.

#include "forms/layoutdescription.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const LayoutDescription description = LayoutDescription::parse(text);

    if (description.layoutCount() > LayoutDescription::maxLayouts
        || description.boxCount() > LayoutDescription::maxBoxes
        || description.groups().size() != description.layoutCount() + description.boxCount())
        std::abort();
    int layouts = 0;
    int boxes = 0;
    for (const LayoutDescription::Group &group : description.groups()) {
        // Groups are numbered in build order, plain layouts and group boxes apart.
        if (group.number != (group.framed ? boxes++ : layouts++))
            std::abort();
        if (group.frameSuffix.size() > LayoutDescription::maxFrameSuffixLength
            || (!group.framed && !group.frameSuffix.isEmpty()))
            std::abort();
        for (const QByteArray &item : group.items) {
            if (item.isEmpty() || item.size() > LayoutDescription::maxTextLength || item.startsWith(' ')
                || item.endsWith(' ') || item.contains('+') || item.contains('('))
                std::abort();
            const LayoutDescription::Item classified = LayoutDescription::classify(item);
            if (classified.kind == LayoutDescription::ItemKind::Stretch && classified.number < 0)
                std::abort();
        }
    }
    return 0;
}
