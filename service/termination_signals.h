#pragma once
// SIGTERM and SIGINT as an event on the Qt loop: the handler only writes a
// byte to a pipe (the one thing a signal handler may safely do), and a
// socket notifier on the pipe's read end emits terminationRequested on the
// main thread.
//
// One instance per process; it installs the handlers on construction and
// restores the previous ones on destruction.

#include <QObject>
#include <QSocketNotifier>
#include <csignal>
#include <memory>

#include "platform/unique_fd.h"

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe or a handler could not be set up; the service then
    // still ends on WM_CLOSE, but a signal ends it the default way.
    bool Installed() const { return installed_; }

signals:
    void terminationRequested();

private:
    void Drain();

    zan::UniqueFd readEnd_;
    zan::UniqueFd writeEnd_;
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previousTerm_ {};
    struct sigaction previousInt_ {};
    bool installed_ = false;
};
