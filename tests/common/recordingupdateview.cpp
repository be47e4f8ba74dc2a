#include "common/recordingupdateview.h"

namespace {

QByteArray colourName(std::optional<Qt::GlobalColor> colour)
{
    if (!colour)
        return "none";
    switch (*colour) {
    case Qt::black:
        return "black";
    case Qt::red:
        return "red";
    case Qt::blue:
        return "blue";
    case Qt::darkBlue:
        return "darkBlue";
    case Qt::green:
        return "green";
    case Qt::magenta:
        return "magenta";
    default:
        return QByteArray::number(int(*colour));
    }
}

} // namespace

void RecordingUpdateView::logLine(QByteArrayView text, std::optional<Qt::GlobalColor> colour)
{
    lines << colourName(colour) + ": " + text.toByteArray();
}

void RecordingUpdateView::clearLog()
{
    lines.clear();
    ++clears;
}
