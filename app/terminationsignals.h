#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (the terminal closing) would end the process on the spot and lose
// the seller's settings; while an object of this class exists they arrive instead as
// received() on the GUI thread, so the program can close its window and save as on any other
// way out. One the program inherited as ignored stays ignored. A second signal, once the first
// has arrived, takes its usual course, so a hung shut-down can still be ended.
// Only one may exist at a time. On systems without these signals it never fires.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received();

private:
    QSocketNotifier *m_notifier = nullptr;
};
