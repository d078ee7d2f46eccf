#include "stop_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

namespace korvane {

namespace {

volatile std::sig_atomic_t stop_request = 0;
// The signal handler's way into the event loop: a byte written into this pair's one end
// wakes the loop, which reads it at the other.
int wake_pair[2] = {-1, -1};

void OnStopSignal(int signal) {
    stop_request = signal;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_pair[1], &byte, 1);
}

}  // namespace

void CloseOnStopSignals(QWidget& window) {
    if (wake_pair[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, wake_pair) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(wake_pair[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window,
                     [window = QPointer<QWidget>(&window)] {
                         char bytes[16];
                         while (::read(wake_pair[0], bytes, sizeof bytes) > 0) {
                         }
                         // During a run the close is refused; the run's end closes again.
                         if (window) {
                             window->close();
                         }
                     });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

const volatile std::sig_atomic_t* StopSignalRequest() {
    return &stop_request;
}

}  // namespace korvane
