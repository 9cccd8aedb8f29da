#include "quitsignal.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace qrapp {

namespace {

// A signal handler may only do async-signal-safe work: it writes one byte to a socket, and the
// event loop, watching the other end, asks the application to quit.
int SignalSocket[2] = {-1, -1};

extern "C" void OnTerminationSignal(int) {
    const int SavedErrno = errno;
    const char Byte = 1;
    [[maybe_unused]] const auto Written = ::write(SignalSocket[1], &Byte, 1);
    errno = SavedErrno;
}

}  // namespace

void QuitOnTerminationSignal() {
    if (SignalSocket[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, SignalSocket) != 0) return;
    auto* Notifier = new QSocketNotifier(SignalSocket[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(Notifier, &QSocketNotifier::activated, Notifier, [] {
        char Byte = 0;
        [[maybe_unused]] const auto Read = ::read(SignalSocket[0], &Byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction Action {};
    Action.sa_handler = OnTerminationSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &Action, nullptr);
}

}  // namespace qrapp
