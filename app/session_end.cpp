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
int pipeFds[2] = {-1, -1};
struct sigaction previous[kSignals.size()];

extern "C" void onSignal(int signo) {
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(signo);
    // A full pipe means a report is already waiting; dropping this one is fine.
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &b, 1);
    errno = saved;
}

}  // namespace

SessionEnd::SessionEnd(QObject* parent) : QObject(parent) {
    if (pipeFds[0] >= 0) throw std::logic_error("SessionEnd: only one at a time");
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("SessionEnd: no pipe");
    notifier_ = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SessionEnd::drain);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &sa, &previous[i]);
}

SessionEnd::~SessionEnd() {
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous[i], nullptr);
    notifier_.reset();
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void SessionEnd::drain() {
    unsigned char b = 0;
    int last = 0;
    while (::read(pipeFds[0], &b, 1) == 1) last = b;
    if (last) emit ended(last);
}
