#include "termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

// The handler can reach only plain data; this is the pipe's write end.
std::atomic<int> g_signalWriteFd{-1};

void OnTerminationSignal(int /*signal*/) {
    const int savedErrno = errno;
    const int fd = g_signalWriteFd.load();
    if (fd >= 0) {
        const char byte = 1;
        // A full pipe already holds a pending request; losing this byte is fine.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    readEnd_.Reset(fds[0]);
    writeEnd_.Reset(fds[1]);
    g_signalWriteFd.store(writeEnd_.get());

    notifier_ = std::make_unique<QSocketNotifier>(readEnd_.get(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Drain(); });

    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    installed_ = ::sigaction(SIGTERM, &action, &previousTerm_) == 0 &&
                 ::sigaction(SIGINT, &action, &previousInt_) == 0;
}

TerminationSignals::~TerminationSignals() {
    ::sigaction(SIGTERM, &previousTerm_, nullptr);
    ::sigaction(SIGINT, &previousInt_, nullptr);
    g_signalWriteFd.store(-1);
}

void TerminationSignals::Drain() {
    char buffer[64];
    while (::read(readEnd_.get(), buffer, sizeof buffer) > 0) {
    }
    emit terminationRequested();
}
