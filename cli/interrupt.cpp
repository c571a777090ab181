#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

namespace cli {

namespace {

// Lock-free, so the handlers may touch it.
std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

#ifdef _WIN32

// Set when the command has ended (the interrupt object goes away): a console being closed waits
// for it, because Windows ends the process as soon as the handler returns.
HANDLE finished = nullptr;

void Install() {
    // One event for the process, made unset again for each command.
    if (finished == nullptr) {
        finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    } else {
        ResetEvent(finished);
    }
    SetConsoleCtrlHandler(ConsoleEventHandler, TRUE);
}

void Uninstall() {
    if (finished != nullptr) {
        SetEvent(finished);
    }
    SetConsoleCtrlHandler(ConsoleEventHandler, FALSE);
}

#else

struct sigaction previousInt;
struct sigaction previousTerm;

extern "C" void OnSignal(int signal) {
    if (requested.exchange(true)) {
        // The second request: let the default action end the process.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

void Install() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting for the y/N answer returns, so the stop is seen at once.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

void Uninstall() {
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

#endif

}  // namespace

#ifdef _WIN32
int __stdcall ConsoleEventHandler(unsigned long event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            if (requested.exchange(true)) {
                return FALSE;  // the second request: the default handler ends the process
            }
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // Returning ends the process at once, possibly inside an upgrade block or a
            // configuration write. Windows allows about 5 s: let the running exchange reach its
            // end (the command sees the request between steps) and the command return.
            requested = true;
            if (finished != nullptr) {
                WaitForSingleObject(finished, kConsoleCloseWaitMs);
            }
            return TRUE;
        default:
            return FALSE;
    }
}
#endif

SystemInterrupt::SystemInterrupt() {
    requested = false;
    Install();
}

SystemInterrupt::~SystemInterrupt() {
    Uninstall();
}

bool SystemInterrupt::Requested() {
    return requested.load();
}

}  // namespace cli
