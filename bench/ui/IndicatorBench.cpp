// Runs the floating indicator alone and reports what it costs.
//
//   indicator_bench idle [seconds]        small bar: CPU share and memory
//   indicator_bench recording [seconds]   large pill fed ~47 level batches/s
//   indicator_bench demo small|large|recognising [seconds]   for screenshots
#include "DemoIcon.h"

#include "config/MemorySettingsStore.h"
#include "core/Clock.h"
#include "core/QtScheduler.h"
#include "log/Logger.h"
#include "log/SecretRedactor.h"
#include "platform/fake/FakeSystemLog.h"
#include "platform/linux/x11/X11OverlayWindows.h"
#include "ui/indicator/FloatingWindowController.h"
#include "ui/indicator/FloatingWindowView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>

using namespace velnor;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A /proc/self/status figure in MiB ("VmRSS", "VmHWM").
double statusMiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

// Levels that rise and fall like speech, 100 per batch: a swell that moves
// along the bars, with some noise.
QVector<float> speechLikeLevels(double t)
{
    QVector<float> levels(100);
    const double envelope = 0.8 + 0.2 * std::sin(t * 2.1);
    for (int i = 0; i < levels.size(); ++i) {
        const double swell = 0.5 + 0.5 * std::sin(i * 0.09 - t * 6.0);
        const double noise = 0.85 + 0.15 * QRandomGenerator::global()->bounded(1.0);
        levels[i] = static_cast<float>(envelope * swell * noise);
    }
    return levels;
}

int usage()
{
    std::fprintf(stderr, "usage: indicator_bench idle|recording [seconds]\n"
                         "       indicator_bench demo small|large|recognising [seconds]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString mode = args.value(0);
    const bool demo = mode == QLatin1String("demo");
    const QString face = demo ? args.value(1) : QString();
    const int seconds = args.value(demo ? 2 : 1, QStringLiteral("60")).toInt();
    if (mode != QLatin1String("idle") && mode != QLatin1String("recording") && !demo)
        return usage();

    SystemClock clock;
    SecretRedactor redactor;
    Logger log(QString(), clock, silentSink(), redactor);
    MemorySettingsStore settings;
    FakeSystemLog systemLog;
    QtScheduler scheduler;
    X11OverlayWindows overlay;
    FloatingWindowView view(&overlay);
    QElapsedTimer monotonic;
    monotonic.start();
    const QImage icon = drawDemoIcon(64);
    FloatingWindowController indicator({scheduler, settings, log, systemLog, view,
                                        [] { return QGuiApplication::primaryScreen()->availableGeometry(); },
                                        [&icon] { return icon; }, [&monotonic] { return Duration(monotonic.elapsed()); },
                                        [] { return QRandomGenerator::global()->generateDouble(); }});

    QTimer levels;
    levels.setInterval(21); // 1024-frame buffers at 48 kHz
    QObject::connect(&levels, &QTimer::timeout, [&] {
        indicator.showWaveformLevels(speechLikeLevels(monotonic.elapsed() / 1000.0));
    });
    if (mode == QLatin1String("recording") || face == QLatin1String("large")) {
        indicator.startRecording();
        levels.start();
    } else if (face == QLatin1String("recognising")) {
        indicator.startRecording();
        QTimer::singleShot(400, [&] { indicator.startRecognizing(); });
    }

    // Measure after start-up and the first animation have settled.
    const int warmUpMs = demo ? 0 : 2000;
    double cpuAtStart = 0;
    QElapsedTimer wall;
    QTimer::singleShot(warmUpMs, [&] {
        cpuAtStart = cpuSeconds();
        wall.start();
    });
    QTimer::singleShot(warmUpMs + seconds * 1000, [&] {
        if (!demo) {
            const double elapsed = wall.elapsed() / 1000.0;
            std::printf("mode %s over %.1f s: CPU %.2f %%, RSS %.1f MiB (peak %.1f MiB), compositor %s\n",
                        qPrintable(mode), elapsed, 100.0 * (cpuSeconds() - cpuAtStart) / elapsed, statusMiB("VmRSS"),
                        statusMiB("VmHWM"), view.isComposited() ? "yes" : "no");
        }
        app.quit();
    });
    return app.exec();
}
