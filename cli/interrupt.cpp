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

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            if (requested.exchange(true)) {
                return FALSE;  // the second request: the default handler ends the process
            }
            return TRUE;
        default:
            return FALSE;
    }
}

void Install() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void Uninstall() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
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
