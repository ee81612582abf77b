// inputmethod_bench [RUNS]: the final text of a dictation into a GTK entry
// that takes input through Fcitx5, RUNS times each way in the same run:
// committed through Velnor's addon, and through the clipboard path (the
// input-method switch off; the entry is off the accessibility bus, so the
// fallback pastes). For each way it prints the median and p99 of our own
// time (the call until the way reports the text handed over) and of the time
// until the entry holds the text.
// Needs the test desktop: bash scripts/with-services.sh build/dev/bench/inputmethod/inputmethod_bench
#include "DesktopInsertionRig.h"

#include "platform/linux/fcitx5/Fcitx5Bridge.h"
#include "platform/linux/fcitx5/Fcitx5TextInput.h"
#include "support/EventLoopWait.h"
#include "support/TempDir.h"
#include "support/desktop/Fcitx5Process.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

using namespace velnor;
using namespace velnor::test;

namespace {

const QString kDictation = QStringLiteral("今天天气很好，我们下午三点在会议室开会。Ship it today ✅");

struct Samples {
    std::vector<double> handedOver;
    std::vector<double> inField;
    int intact = 0;
};

double percentile(std::vector<double> samples, double share)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[std::min(samples.size() - 1, size_t(double(samples.size()) * share))];
}

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

Samples insertRuns(TextInput& way, TargetApp& entry, TextInputMethod expected, int runs)
{
    Samples samples;
    for (int i = 0; i < runs; ++i) {
        entry.command(QStringLiteral("set "));
        std::optional<InsertionResult> result;
        std::optional<double> handedOver;
        QElapsedTimer timer;
        timer.start();
        way.inputTextToFocusedField(kDictation, [&](const InsertionResult& done) {
            handedOver = msSince(timer);
            result = done;
        });
        // Asked only once the way is done: a paste must not be raced by our own questions.
        waitUntil([&] { return result.has_value(); }, 10000);
        const bool arrived = waitUntil([&] { return entry.command(QStringLiteral("text")) == kDictation; }, 3000);
        const double inField = msSince(timer);
        if (!arrived || !result || !handedOver)
            continue;
        samples.handedOver.push_back(*handedOver);
        samples.inField.push_back(inField);
        if (result->method == expected)
            ++samples.intact;
    }
    return samples;
}

void print(const char* name, const Samples& s)
{
    std::printf("%-16s runs %3zu  right way %3d  handed over: median %7.2f ms  p99 %7.2f ms   "
                "in the field: median %7.2f ms  p99 %7.2f ms\n",
                name, s.inField.size(), s.intact, percentile(s.handedOver, 0.5), percentile(s.handedOver, 0.99),
                percentile(s.inField, 0.5), percentile(s.inField, 0.99));
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    QStandardPaths::setTestModeEnabled(true);
    QGuiApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    TempDir fcitxHome;
    Fcitx5Process fcitx(fcitxHome.path(), QStringLiteral(VELNOR_FCITX5_DATA_HOME));
    if (!fcitx.waitForAddon()) {
        std::fprintf(stderr, "Fcitx5 did not load the addon; see %s/fcitx5.log\n", qPrintable(fcitxHome.path()));
        return 1;
    }
    DesktopInsertionRig rig(false);
    fcitx5::Fcitx5Bridge bridge(QDBusConnection::sessionBus());
    bool inputMethodOn = false;
    fcitx5::Fcitx5TextInput input(bridge, rig.manager, rig.log.logger(), [&] { return inputMethodOn; });
    std::printf("text: %lld UTF-16 units, %lld UTF-8 bytes\n", qlonglong(kDictation.size()),
                qlonglong(kDictation.toUtf8().size()));
    // An entry of its own for each way; the inputs it takes once it has the focus.
    const auto runsIn = [&](const QString& gtkModule, TextInputMethod expected, const std::function<bool()>& ready) {
        QProcessEnvironment environment = targetEnvironment(false);
        environment.insert(QStringLiteral("GTK_IM_MODULE"), gtkModule);
        TargetApp entry(helperPath(QStringLiteral("velnor-gtk-entry")), {QStringLiteral("bench-") + gtkModule},
                        environment);
        if (!entry.started() || !rig.waitUntilFrontmost(entry.processId(), false) || !waitUntil(ready, 10000)) {
            std::fprintf(stderr, "the entry (%s) did not get the focus\n", qPrintable(gtkModule));
            return Samples{};
        }
        return insertRuns(input, entry, expected, runs);
    };
    // The clipboard way into an entry that still takes its keys through
    // Fcitx5's module, the app's input-method switch off.
    const Samples clipboard = runsIn(QStringLiteral("fcitx"), TextInputMethod::Clipboard, [] { return true; });
    inputMethodOn = true;
    const Samples inputMethod = runsIn(QStringLiteral("fcitx"), TextInputMethod::InputMethod,
                                       [&] { return bridge.canWriteToFocusedField(); });
    print("input method", inputMethod);
    print("clipboard paste", clipboard);
    return inputMethod.intact == runs && clipboard.intact == runs ? 0 : 2;
}
