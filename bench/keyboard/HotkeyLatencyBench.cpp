// Time from an XTest key press to the hotkey's key-down handler (and from the
// release to key-up), through the XI2 key source and the hotkey manager.
// Needs an X display: bash scripts/with-services.sh build/dev/bench/keyboard/hotkey_bench [rounds]
#include "XTestKeys.h"
#include "config/MemorySettingsStore.h"
#include "keyboard/HIDEventMonitor.h"
#include "keyboard/KeyboardManager.h"
#include "keyboard/Shortcut.h"
#include "keyboard/ShortcutManager.h"
#include "platform/linux/x11/XInputKeySource.h"
#include "platform/linux/x11/XInputKeyboardDevices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velnor;

namespace {

struct Figures {
    double median;
    double p99;
    double worst;
};

Figures figuresOf(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const auto at = [&samples](double quantile) {
        return samples[std::min(samples.size() - 1, static_cast<std::size_t>(quantile * double(samples.size())))];
    };
    return {at(0.5), at(0.99), samples.back()};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;
    test::XTestKeys driver;
    if (!driver.isConnected()) {
        std::fprintf(stderr, "hotkey_bench: no X display (run through scripts/with-services.sh)\n");
        return 1;
    }

    MemorySettingsStore settings;
    x11::XInputKeyboardDevices devices;
    HIDEventMonitor monitor(devices, silentSink());
    KeyboardManager keyboards(settings, monitor);
    x11::XInputKeySource keySource;
    ShortcutManager manager(keySource, monitor, keyboards);
    if (!manager.start()) {
        std::fprintf(stderr, "hotkey_bench: the XI2 key source did not start\n");
        return 1;
    }

    QEventLoop loop;
    QElapsedTimer clock;
    bool timedOut = false;
    Shortcut registrar(manager, silentSink());
    registrar.registerHotkey(HotkeyType::rightCommand, [&loop] { loop.quit(); }, [&loop] { loop.quit(); });

    const auto measure = [&](bool press) {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            loop.quit();
        });
        guard.start(2000);
        clock.start();
        press ? driver.press(test::XKey::RightSuper) : driver.release(test::XKey::RightSuper);
        loop.exec();
        return double(clock.nsecsElapsed()) / 1000.0;
    };

    std::vector<double> downs;
    std::vector<double> ups;
    for (int round = 0; round < rounds && !timedOut; ++round) {
        downs.push_back(measure(true));
        ups.push_back(measure(false));
    }
    if (timedOut) {
        std::fprintf(stderr, "hotkey_bench: a handler did not fire within 2 s\n");
        return 1;
    }
    const Figures down = figuresOf(downs);
    const Figures up = figuresOf(ups);
    std::printf("XTest key press -> key-down handler, %d rounds: median %.0f us, p99 %.0f us, max %.0f us\n", rounds,
                down.median, down.p99, down.worst);
    std::printf("XTest key release -> key-up handler, %d rounds: median %.0f us, p99 %.0f us, max %.0f us\n", rounds,
                up.median, up.p99, up.worst);
    return 0;
}
