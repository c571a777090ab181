// The program as trelvo-sim runs it (same entry, window and simulated interface, the simulator
// panel optional) or, with --native, as trelvo runs it on the machine's USB, instrumented from
// outside the window: it prints the monotonic time of the first paint and of the end of the
// start-up read, then opens the test tab and measures the CPU it uses while monitoring the
// idle reader, and closes the window.
//
// Output, one "key value" per line: created_ns, shown_ns, read_done_ns (CLOCK_MONOTONIC),
// startup_ok, idle_wall_s, idle_cpu_s, idle_polls; with --window-flows N, N rounds of the
// window's own flows: read_button_ms_<i>, write_button_ms_<i>, test_tab_open_ms_<i>,
// return_read_ms_<i> and window_flows_ok.
#include <sys/resource.h>

#include <QEvent>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "app/Program.h"
#include "app/SimPanel.h"
#include "app/Wmain.h"
#include "bench/counting_platform.h"
#include "bench/metered_clock.h"
#include "sim/device.h"
#include "sim/platform.h"
#include "wusb/clock.h"
#include "wusb/platform/native.h"

namespace {

struct Options {
    bool native = false;
    bool panel = false;
    int settleMs = 1000;
    int idleMs = 10000;
    int windowFlowRounds = 0;
};

// A pause before each window flow, longer than the quiet period, so that every flow starts as
// a user's click would: with the last close well behind it.
constexpr int kPauseBetweenFlowsMs = 300;

long long MonotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto seconds = [](const timeval& v) {
        return static_cast<double>(v.tv_sec) + static_cast<double>(v.tv_usec) / 1e6;
    };
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

void Print(const char* key, const std::string& value) {
    std::printf("%s %s\n", key, value.c_str());
    std::fflush(stdout);
}

class FirstPaint final : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            Print("shown_ns", std::to_string(MonotonicNs()));
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    bool seen_ = false;
};

// Opens the test tab, lets it settle, measures the idle monitor, then closes the window.
void MonitorIdleReader(TMainWin& window, bench::CountingPlatform& platform,
                       const Options& options) {
    window.PageControl1->setCurrentWidget(window.Test);
    QTimer::singleShot(options.settleMs, &window, [&window, &platform, options] {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuSeconds();
        const std::uint64_t readsStart = platform.counts().reads;
        QTimer::singleShot(
            options.idleMs, &window, [&window, &platform, start, cpuStart, readsStart] {
                const double wall =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                Print("idle_wall_s", std::to_string(wall));
                Print("idle_cpu_s", std::to_string(CpuSeconds() - cpuStart));
                Print("idle_polls", std::to_string(platform.counts().reads - readsStart));
                window.close();
            });
    });
}

bool ReaderShown(const TMainWin& window) {
    return window.RdLbl->text().startsWith(QStringLiteral("Czytnik KV-T"));
}

// Runs the read and write buttons, the test tab and the return to the configuration tab, each
// timed around the synchronous handler it triggers, `rounds` times; then closes the window.
class WindowFlows {
  public:
    WindowFlows(TMainWin& window, int rounds) : window_(window), rounds_(rounds) {}

    void Next() {
        if (step_ == kSteps * rounds_) {
            Print("window_flows_ok", ok_ ? "1" : "0");
            window_.close();
            return;
        }
        QTimer::singleShot(kPauseBetweenFlowsMs, &window_, [this] {
            const int round = step_ / kSteps;
            switch (step_++ % kSteps) {
                case 0:
                    Time("read_button_ms", round, [this] { window_.RdBtn->click(); });
                    break;
                case 1:
                    Time("write_button_ms", round, [this] { window_.WrBtn->click(); });
                    break;
                case 2:
                    Time("test_tab_open_ms", round,
                         [this] { window_.PageControl1->setCurrentWidget(window_.Test); });
                    ok_ = ok_ && window_.Timer->isActive();
                    break;
                default:
                    Time("return_read_ms", round,
                         [this] { window_.PageControl1->setCurrentWidget(window_.Konfiguracja); });
                    break;
            }
            ok_ = ok_ && ReaderShown(window_);
            Next();
        });
    }

  private:
    static constexpr int kSteps = 4;

    template <typename Action>
    void Time(const std::string& key, int round, Action action) {
        const auto start = std::chrono::steady_clock::now();
        action();
        const std::chrono::duration<double, std::milli> ms =
            std::chrono::steady_clock::now() - start;
        Print((key + "_" + std::to_string(round)).c_str(), std::to_string(ms.count()));
    }

    TMainWin& window_;
    const int rounds_;
    int step_ = 0;
    bool ok_ = true;
};

#ifdef BENCH_HAS_NATIVE
constexpr bool kHasNative = true;
std::unique_ptr<wusb::Platform> NativePlatform() {
    return wusb::MakeNativePlatform();
}
#else
constexpr bool kHasNative = false;
std::unique_ptr<wusb::Platform> NativePlatform() {
    return nullptr;
}
#endif

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--panel") == 0) {
            options.panel = true;
        } else if (std::strcmp(argv[i], "--native") == 0) {
            options.native = true;
        } else if (std::strcmp(argv[i], "--idle-ms") == 0 && i + 1 < argc) {
            options.idleMs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--settle-ms") == 0 && i + 1 < argc) {
            options.settleMs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--window-flows") == 0 && i + 1 < argc) {
            options.windowFlowRounds = std::atoi(argv[++i]);
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    if (options.native && !kHasNative) {
        std::fprintf(stderr, "bench_window: built without the native USB platform\n");
        return 2;
    }
    return ProgramEntry(argc, argv, [&options] {
        wusb::SystemClock system;
        // Metered only because the transfer counter wants it; the window runs on `system`.
        bench::MeteredClock metered(system);
        sim::SimPlatform simulated(system);
        const int device = simulated.Plug(std::make_shared<sim::SimInterface>());
        const std::unique_ptr<wusb::Platform> native = options.native ? NativePlatform() : nullptr;
        bench::CountingPlatform platform(native ? *native : simulated, metered);
        std::unique_ptr<SimPanel> panel;
        std::unique_ptr<WindowFlows> windowFlows;
        FirstPaint firstPaint;
        // Measured as users run it: without a wire capture.
        RunMainWindow(platform, system, ProgramOptions{}, [&](TMainWin& window) {
            // The window has just been built and its 50 ms start-up timer started.
            Print("created_ns", std::to_string(MonotonicNs()));
            if (options.panel && !native) {
                panel = std::make_unique<SimPanel>(simulated, device);
                panel->show();
            }
            window.installEventFilter(&firstPaint);
            // Connected after the window's own handler, so this runs once the read is over.
            QObject::connect(window.UpgrTimer, &QTimer::timeout, &window, [&] {
                Print("read_done_ns", std::to_string(MonotonicNs()));
                Print("startup_ok", ReaderShown(window) ? "1" : "0");
                if (options.windowFlowRounds > 0) {
                    windowFlows = std::make_unique<WindowFlows>(window, options.windowFlowRounds);
                    windowFlows->Next();
                } else if (options.idleMs > 0) {
                    QTimer::singleShot(0, &window,
                                       [&] { MonitorIdleReader(window, platform, options); });
                } else {
                    window.close();
                }
            });
        });
    });
}
