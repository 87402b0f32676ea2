#include "app/session_end.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <stdexcept>

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGHUP, SIGINT};
static_assert(kSignals.size() == SessionEnd::kSignalCount);
// The pipe's write end: all the handler needs, so the one thing it must find
// outside any object. -1 while no SessionEnd lives.
int signalPipe = -1;

extern "C" void onSignal(int signo) {
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(signo);
    // A full pipe means a report is already waiting; dropping this one is fine.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe, &b, 1);
    errno = saved;
}

}  // namespace

SessionEnd::SessionEnd(QObject* parent) : QObject(parent) {
    if (signalPipe >= 0) throw std::logic_error("SessionEnd: only one at a time");
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("SessionEnd: no pipe");
    readEnd_ = fds[0];
    signalPipe = fds[1];
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SessionEnd::drain);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) {
        sigaction(kSignals[i], nullptr, &previous_[i]);
        // Started under nohup: the closing terminal's hang-up stays ignored.
        if (kSignals[i] == SIGHUP && previous_[i].sa_handler == SIG_IGN) continue;
        sigaction(kSignals[i], &sa, nullptr);
    }
}

SessionEnd::~SessionEnd() {
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
    notifier_.reset();
    ::close(readEnd_);
    ::close(signalPipe);
    signalPipe = -1;
}

void SessionEnd::drain() {
    unsigned char b = 0;
    int last = 0;
    while (::read(readEnd_, &b, 1) == 1) last = b;
    if (last) emit ended(last);
}
