#pragma once

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <functional>

#include <sys/resource.h>

// Every start-up program reports the moments the driver times on standard output, one line
// each: "<moment> <peak resident set size in kB>". The driver notes when each line arrives.
inline void reportMoment(const char *moment)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s %ld\n", moment, usage.ru_maxrss);
    std::fflush(stdout);
}

// "painted": the first window the process shows is on the screen, its first frame painted.
// Created before any window, so that it sees the first expose event of the process: the
// program's splash, the main window of a bare program. A widget's window paints (and hands
// the frame to the window system) while it handles that event, so the filter lets the window
// handle it here and reports straight after; the programs measured set no filter of their own
// on their windows, which this would pass over. It then stops watching, so that the rest of
// start-up pays nothing for it.
class FirstFrame : public QObject
{
public:
    FirstFrame() { QCoreApplication::instance()->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Expose || !watched->isWindowType() ||
            !static_cast<QWindow *>(watched)->isExposed()) {
            return QObject::eventFilter(watched, event);
        }
        QCoreApplication::instance()->removeEventFilter(this);
        watched->event(event);
        reportMoment("painted");
        return true;
    }
};

// "ready": the window given has been exposed (and so painted), and the event loop is about to
// wait for input for the first time afterwards. Then runs whenReady.
class Readiness : public QObject
{
public:
    Readiness(QWidget &window, std::function<void()> whenReady)
        : m_window(window)
        , m_whenReady(std::move(whenReady))
    {
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                &Readiness::idle);
    }

private:
    void idle()
    {
        // A window counts as exposed only from its first expose event, which it handles, and
        // paints in, as soon as it is counted.
        if (m_reported || !m_window.windowHandle() || !m_window.windowHandle()->isExposed()) {
            return;
        }
        m_reported = true;
        reportMoment("ready");
        m_whenReady();
    }

    QWidget &m_window;
    std::function<void()> m_whenReady;
    bool m_reported = false;
};
