#pragma once

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <functional>

#include <sys/resource.h>

// Both start-up programs report the same moment: their window has been exposed (and so
// painted) and the event loop is about to wait for input for the first time afterwards. They
// print "ready <peak resident set size in kB>" on one line, then run whenReady.
class Readiness : public QObject
{
public:
    Readiness(QWidget &window, std::function<void()> whenReady)
        : m_window(window)
        , m_whenReady(std::move(whenReady))
    {
        m_window.windowHandle()->installEventFilter(this);
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                &Readiness::idle);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && m_window.windowHandle()->isExposed()) {
            m_exposed = true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void idle()
    {
        if (!m_exposed || m_reported) {
            return;
        }
        m_reported = true;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("ready %ld\n", usage.ru_maxrss);
        std::fflush(stdout);
        m_whenReady();
    }

    QWidget &m_window;
    std::function<void()> m_whenReady;
    bool m_exposed = false;
    bool m_reported = false;
};
