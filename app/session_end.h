// The end of the desktop session or a polite kill (SIGTERM, SIGHUP, SIGINT):
// nobody is there to answer a box, so the pet is saved without one.
#pragma once
#include <QObject>
#include <array>
#include <csignal>
#include <memory>

class QSocketNotifier;

// Catches SIGTERM, SIGHUP and SIGINT for as long as it lives and reports them
// on the event loop. The handler only writes the signal's number into a pipe
// (all a signal handler may safely do); a QSocketNotifier on the pipe's other
// end turns it into `ended`. One at a time per process. A SIGHUP ignored when
// it starts (nohup) stays ignored.
class SessionEnd : public QObject {
    Q_OBJECT
public:
    static constexpr size_t kSignalCount = 3;  // SIGTERM, SIGHUP, SIGINT

    explicit SessionEnd(QObject* parent = nullptr);
    ~SessionEnd() override;

signals:
    void ended(int signo);

private:
    void drain();
    std::unique_ptr<QSocketNotifier> notifier_;
    int readEnd_ = -1;
    std::array<struct sigaction, kSignalCount> previous_{};  // restored when we go
};
