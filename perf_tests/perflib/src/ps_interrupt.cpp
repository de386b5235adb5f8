#include "ps_interrupt.h"

#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "ps_ostream.h"

namespace {
volatile std::sig_atomic_t s_stopSignal = 0;
bool s_reported = false;

void onStopSignal(int sig)
{
    if (s_stopSignal != 0) {
        // Asked twice: the user does not want to wait for the measurement in progress.
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    s_stopSignal = sig;
}

// A closed standard descriptor would be taken by the first file opened, and the console text
// would land in it.
void keepStandardDescriptorsValid()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}
} // namespace

void psPrepareProcess()
{
    keepStandardDescriptorsValid();
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a console question waiting for input returns, and the run goes on to its end.
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int psInterrupted() { return s_stopSignal; }

const char* psInterruptName(int sig)
{
    switch (sig) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    default: return "signal";
    }
}

void psReportInterrupt()
{
    int sig = psInterrupted();
    if (sig == 0 || s_reported) return;
    s_reported = true;
    g_ostrm << ERR << "-- Run interrupted by " << psInterruptName(sig)
            << ": the tests done so far are reported\n" << msgRestoreFlush;
}
