// textinput_bench [RUNS]: inserts a 1,000-character mixed text (Latin,
// Chinese, emoji, combining marks) into a GTK entry through the app's
// accessibility path and clipboard path, RUNS times each, and types the same
// text once with `xdotool type` for comparison. Prints median and p99 in ms.
// Needs the test desktop: bash scripts/with-services.sh build/dev/bench/textinput/textinput_bench
#include "DesktopInsertionRig.h"

#include "support/EventLoopWait.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velnor;
using namespace velnor::test;

namespace {

QString mixedText(int codePoints)
{
    const QList<uint> pattern = QStringLiteral("Hello 你好世界 😀 café e\u0301 ok, ").toUcs4();
    QList<uint> out;
    while (out.size() < codePoints)
        out.append(pattern.at(out.size() % pattern.size()));
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(out.constData()), out.size());
}

struct Summary {
    double median = 0;
    double p99 = 0;
    int intact = 0;
    int runs = 0;
};

Summary summarise(std::vector<double> samples, int intact)
{
    std::sort(samples.begin(), samples.end());
    Summary s;
    s.runs = int(samples.size());
    s.intact = intact;
    if (samples.empty())
        return s;
    s.median = samples[samples.size() / 2];
    s.p99 = samples[std::min(samples.size() - 1, size_t(double(samples.size()) * 0.99))];
    return s;
}

Summary insertRuns(bool accessibility, const QString& text, int runs, TextInputMethod expected)
{
    DesktopInsertionRig rig(accessibility);
    TargetApp app(helperPath(QStringLiteral("velnor-gtk-entry")), {QStringLiteral("bench")},
                  targetEnvironment(accessibility));
    if (!app.started() || !rig.waitUntilFrontmost(app.processId(), accessibility))
        return {};
    std::vector<double> samples;
    int intact = 0;
    for (int i = 0; i < runs; ++i) {
        app.command(QStringLiteral("set "));
        QElapsedTimer timer;
        timer.start();
        const InsertionResult result = rig.insert(text);
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (result.method == expected && app.command(QStringLiteral("text")) == text)
            ++intact;
    }
    return summarise(samples, intact);
}

Summary xdotoolRun(const QString& text)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        return {};
    TargetApp app(helperPath(QStringLiteral("velnor-gtk-entry")), {QStringLiteral("xdotool")}, targetEnvironment(false));
    DesktopInsertionRig rig(false);
    if (!app.started() || !rig.waitUntilFrontmost(app.processId(), false))
        return {};
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("type"), text});
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    return summarise({ms}, app.command(QStringLiteral("text")) == text ? 1 : 0);
}

void print(const char* name, const Summary& s)
{
    std::printf("%-22s runs %3d  intact %3d  median %9.1f ms  p99 %9.1f ms\n", name, s.runs, s.intact, s.median, s.p99);
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QStandardPaths::setTestModeEnabled(true);
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    const QString text = mixedText(1000);
    std::printf("text: %lld code points, %lld UTF-16 units, %lld UTF-8 bytes\n", qlonglong(text.toUcs4().size()),
                qlonglong(text.size()), qlonglong(text.toUtf8().size()));
    const Summary accessibility = insertRuns(true, text, runs, TextInputMethod::Accessibility);
    print("accessibility (AT-SPI)", accessibility);
    const Summary clipboard = insertRuns(false, text, runs, TextInputMethod::Clipboard);
    print("clipboard + paste", clipboard);
    const Summary xdotool = xdotoolRun(text);
    print("xdotool type", xdotool);
    if (accessibility.median > 0 && clipboard.median > 0 && xdotool.median > 0)
        std::printf("xdotool / accessibility: %.0fx   xdotool / clipboard: %.0fx\n", xdotool.median / accessibility.median,
                    xdotool.median / clipboard.median);
    return 0;
}
