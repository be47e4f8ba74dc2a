#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <cstdio>

// Installed on the application object of a start-up benchmark's child: when the first top-level
// window has been painted, the event loop is asked to end, and the class of that window goes to
// standard output so that the driver can tell which window the user would have seen first. The
// quit is queued, so the paint is finished and flushed to the screen before the loop ends.
class FirstPaintQuit final : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_painted && event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->isWindow()) {
            m_painted = true;
            std::printf("%s\n", watched->metaObject()->className());
            std::fflush(stdout);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool m_painted = false;
};
