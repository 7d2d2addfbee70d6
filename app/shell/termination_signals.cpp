#include "termination_signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <iterator>
#include <fcntl.h>
#include <unistd.h>

namespace {

int pipe_fds[2] = {-1, -1};
constexpr int HANDLED[] = {SIGTERM, SIGINT, SIGHUP};
// Signals ignored at start (SIGHUP under nohup) stay ignored.
bool taken[std::size(HANDLED)] = {};

void handle(int signal_number)
{
    const unsigned char byte = static_cast<unsigned char>(signal_number);
    // A full pipe already holds a pending signal; nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t written = ::write(pipe_fds[1], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(pipe_fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(pipe_fds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(pipe_fds[0], &byte, 1) == 1)
            emit received(byte);
    });
    struct sigaction action = {};
    action.sa_handler = handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(HANDLED); ++i) {
        struct sigaction before = {};
        sigaction(HANDLED[i], nullptr, &before);
        taken[i] = before.sa_handler != SIG_IGN;
        if (taken[i])
            sigaction(HANDLED[i], &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals()
{
    if (!notifier_)
        return;
    for (size_t i = 0; i < std::size(HANDLED); ++i)
        if (taken[i])
            std::signal(HANDLED[i], SIG_DFL);
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    pipe_fds[0] = pipe_fds[1] = -1;
}
