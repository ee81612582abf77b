// The running app's own cost, measured from outside as a user meets it: the
// real `velnor` process, XTest hotkey, espeak-ng speech into the PulseAudio
// virtual microphone, velnor-server with the real decoder, a Qt field that
// reports each text change with its CLOCK_MONOTONIC time.
//
//  1. key-up -> text in the field, minus the fixed 0.3 s stop delay and 0.1 s
//     typing delay and minus the backend's own time (the server's logged
//     handling time of /qasr/recognize; end marker -> final in real-time mode):
//     median and p99 per mode;
//  2. key-down -> capture stream opened at PulseAudio (source-output created);
//  3. idle RSS and CPU over 60 s, CPU while recording;
//  4. real-time packet pacing jitter at the server (|gap - 40 ms|) and end
//     marker -> final result with the real decoder.
//
// Usage: bash scripts/with-services.sh build/dev/bench/e2e/app_overhead_bench [dictations [idle-seconds]]
#include "config/SettingsKeys.h"
#include "e2e/EndToEndSession.h"
#include "support/EventLoopWait.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"
#include "support/desktop/FieldApp.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

using namespace velnor;
using namespace velnor::test;

namespace {

// The behaviour's own waits after key-up: the 0.3 s stop delay (file mode
// only; a real-time stream ends at once) and the 0.1 s typing delay.
constexpr double kFileModeDelaysMs = 300.0 + 100.0;
constexpr double kRealtimeDelaysMs = 100.0;

double monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

void report(const char* what, const std::vector<double>& values, const char* unit = "ms")
{
    std::printf("%-58s median %8.2f %s  p99 %8.2f %s  (n=%zu)\n", what, percentile(values, 0.5), unit,
                percentile(values, 0.99), unit, values.size());
}

// velnor-qt-line-edit --report-changes: the time each new text appeared.
class WatchedField final {
public:
    explicit WatchedField(const QString& title)
    {
        m_process.start(QStringLiteral(VELNOR_TARGETS_DIR "/velnor-qt-line-edit"),
                        {QStringLiteral("--report-changes"), title});
        waitUntil([this] { return m_ready = m_ready || readLines().contains(QStringLiteral("ready")); }, 15000);
    }
    ~WatchedField()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool isReady() const { return m_ready; }
    void clear()
    {
        m_process.write("set \n");
        waitUntil([this] { readLines(); return m_lastText.isEmpty(); }, 5000);
        m_changedAtMs.reset();
    }
    // CLOCK_MONOTONIC ms at which non-empty text first appeared since clear().
    std::optional<double> waitForText(int timeoutMs)
    {
        waitUntil([this] { readLines(); return m_changedAtMs.has_value(); }, timeoutMs);
        return m_changedAtMs;
    }

private:
    QStringList readLines()
    {
        QStringList lines;
        while (m_process.canReadLine()) {
            const QString line = QString::fromUtf8(m_process.readLine()).chopped(1);
            lines.append(line);
            if (!line.startsWith(QStringLiteral("changed ")))
                continue;
            const qsizetype space = line.indexOf(QLatin1Char(' '), 8);
            m_lastText = space < 0 ? QString() : line.mid(space + 1);
            if (!m_lastText.isEmpty() && !m_changedAtMs)
                m_changedAtMs = line.mid(8, space - 8).toDouble() / 1e6;
        }
        return lines;
    }

    QProcess m_process;
    bool m_ready = false;
    QString m_lastText = QStringLiteral("?");
    std::optional<double> m_changedAtMs;
};

// `pactl subscribe`: when a capture stream was last opened.
class CaptureStreamWatch final {
public:
    CaptureStreamWatch()
    {
        // Stamped as the line arrives (the bench's loop runs while the speech plays).
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] { poll(); });
        m_process.start(QStringLiteral("pactl"), {QStringLiteral("subscribe")});
        m_process.waitForStarted(5000);
    }
    ~CaptureStreamWatch()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    void reset()
    {
        poll();
        m_openedAtMs.reset();
    }
    std::optional<double> waitForOpen(int timeoutMs)
    {
        waitUntil([this] { poll(); return m_openedAtMs.has_value(); }, timeoutMs);
        return m_openedAtMs;
    }

private:
    void poll()
    {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine();
            if (line.contains("'new' on source-output") && !m_openedAtMs)
                m_openedAtMs = monotonicMs();
        }
    }
    QProcess m_process;
    std::optional<double> m_openedAtMs;
};

struct ProcessCost {
    double cpuSeconds = 0;
    double rssMiB = 0;
};

ProcessCost costOf(qint64 pid)
{
    ProcessCost cost;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        // utime and stime are fields 14 and 15 of the whole line.
        if (fields.size() > 13)
            cost.cpuSeconds = double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                cost.rssMiB = line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return cost;
}

// The server's logged handling time of the last successful POST to `path`; -1 when none.
double lastHandlingMs(ServerProcess& server, const QString& path)
{
    const QRegularExpression handled(QStringLiteral("POST %1 -> HTTP 200, code 0 \\((\\d+) ms\\)")
                                         .arg(QRegularExpression::escape(path)));
    double last = -1;
    auto matches = handled.globalMatch(QString::fromUtf8(server.standardError()));
    while (matches.hasNext())
        last = matches.next().captured(1).toDouble();
    return last;
}

struct ModeFigures {
    std::vector<double> overheadMs;
    std::vector<double> keyDownToCaptureMs;
};

class Bench final {
public:
    explicit Bench(int dictations)
        : m_dictations(dictations)
    {
    }

    bool startServer()
    {
        if (!m_server.start(m_dir.filePath(QStringLiteral("server")))) {
            std::fprintf(stderr, "velnor-server: %s\n", qPrintable(m_server.error()));
            return false;
        }
        return true;
    }

    std::optional<ModeFigures> run(const QString& mode, const QString& wav, AppUnderTest** keepApp = nullptr)
    {
        auto app = std::make_unique<AppUnderTest>(m_dir.filePath(QStringLiteral("user-") + mode), m_server.url(),
                                                  QVariantMap{{SettingsKey::RecognitionMode, mode}});
        if (const QString error = app->start(QStringLiteral(VELNOR_APP_BIN)); !error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return std::nullopt;
        }
        WatchedField field(QStringLiteral("bench-") + mode);
        if (!field.isReady() || !waitUntil([&] { return activeWindowName() == QStringLiteral("bench-") + mode; }, 10000)) {
            std::fprintf(stderr, "the target field did not come up (ready: %d, active window: %s)\n",
                         int(field.isReady()), qPrintable(activeWindowName()));
            return std::nullopt;
        }
        ModeFigures figures;
        CaptureStreamWatch capture;
        for (int i = 0; i < m_dictations; ++i) {
            field.clear();
            capture.reset();
            const qsizetype connectionsBefore = m_server.realtimeConnections().size();
            const double keyDown = monotonicMs();
            pressHotkey(m_keys);
            if (!m_voice.startSaying(wav) || !m_voice.waitDone())
                return std::nullopt;
            const double keyUp = monotonicMs();
            releaseHotkey(m_keys);
            if (const auto opened = capture.waitForOpen(2000))
                figures.keyDownToCaptureMs.push_back(*opened - keyDown);
            const std::optional<double> typed = field.waitForText(30000);
            if (!typed) {
                std::fprintf(stderr, "dictation %d typed nothing:\n%s\n", i, qPrintable(app->log().right(3000)));
                continue;
            }
            double backendMs = -1;
            const bool realtime = mode == QStringLiteral("realtime");
            if (!realtime) {
                backendMs = lastHandlingMs(m_server, QStringLiteral("/qasr/recognize"));
            } else {
                // The decoder's end marker -> final time, then the text's proofreading call.
                const QJsonArray connections = m_server.realtimeConnections();
                const double adjustMs = lastHandlingMs(m_server, QStringLiteral("/qasr/adjust"));
                if (connections.size() > connectionsBefore && adjustMs >= 0) {
                    const QJsonObject stream = connections.last().toObject();
                    backendMs = stream.value(QStringLiteral("final_ms")).toDouble() -
                                stream.value(QStringLiteral("end_marker_ms")).toDouble() + adjustMs;
                }
            }
            if (backendMs >= 0)
                figures.overheadMs.push_back(*typed - keyUp - (realtime ? kRealtimeDelaysMs : kFileModeDelaysMs) -
                                             backendMs);
            // The clipboard is handed back after the paste; let that settle before the next round.
            waitUntil([&] { return app->insertions() > i; }, 5000);
        }
        if (keepApp)
            *keepApp = app.release();
        return figures;
    }

    void realtimeStreamFigures()
    {
        std::vector<double> jitter;
        std::vector<double> endToFinal;
        for (const QJsonValue& value : m_server.realtimeConnections()) {
            const QJsonObject stream = value.toObject();
            const QJsonArray packets = stream.value(QStringLiteral("packets")).toArray();
            for (qsizetype i = 1; i < packets.size(); ++i)
                jitter.push_back(std::abs(packets[i].toObject().value(QStringLiteral("t_ms")).toDouble() -
                                          packets[i - 1].toObject().value(QStringLiteral("t_ms")).toDouble() - 40.0));
            if (stream.value(QStringLiteral("final_ms")).toDouble() > 0)
                endToFinal.push_back(stream.value(QStringLiteral("final_ms")).toDouble() -
                                     stream.value(QStringLiteral("end_marker_ms")).toDouble());
        }
        report("real-time packet pacing jitter at the server", jitter);
        report("real-time end marker -> final result (real decoder)", endToFinal);
    }

    void idleAndRecordingCost(AppUnderTest& app, int idleSeconds, const QString& longWav)
    {
        const qint64 pid = app.processId();
        const ProcessCost idleStart = costOf(pid);
        runEventLoopFor(idleSeconds * 1000);
        const ProcessCost idleEnd = costOf(pid);
        std::printf("%-58s %8.2f MiB\n", "idle RSS", idleEnd.rssMiB);
        std::printf("%-58s %8.3f %% of one core over %d s\n", "idle CPU",
                    100.0 * (idleEnd.cpuSeconds - idleStart.cpuSeconds) / idleSeconds, idleSeconds);

        const ProcessCost before = costOf(pid);
        const double start = monotonicMs();
        pressHotkey(m_keys);
        m_voice.startSaying(longWav);
        m_voice.waitDone(60000);
        const double held = (monotonicMs() - start) / 1000.0;
        const ProcessCost during = costOf(pid);
        releaseHotkey(m_keys);
        std::printf("%-58s %8.2f %% of one core over %.1f s\n", "CPU while recording (file mode)",
                    100.0 * (during.cpuSeconds - before.cpuSeconds) / held, held);
        std::printf("%-58s %8.2f MiB\n", "RSS while recording", during.rssMiB);
        waitUntil([&] { return app.log().count(QStringLiteral("成功输入文字")) > m_dictations; }, 60000);
    }

    Voice& voice() { return m_voice; }

private:
    int m_dictations;
    TempDir m_dir;
    ServerProcess m_server;
    XTestKeys m_keys;
    Voice m_voice{m_dir.path()};
};

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication qt(argc, argv);
    const int dictations = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
    if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("VELNOR_PULSE_MIC_SINK")) {
        std::fprintf(stderr, "run under scripts/with-services.sh\n");
        return 2;
    }
    useThrowAwayRealtimeCredentials();
    Bench bench(dictations);
    if (!bench.startServer())
        return 1;
    const QString wav = bench.voice().record(QStringLiteral("send the report tomorrow morning"));
    const QString longWav = bench.voice().record(
        QStringLiteral("the quick brown fox jumps over the lazy dog and then it runs back into the forest where "
                       "it waits quietly for the evening to come"));
    if (wav.isEmpty() || longWav.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(bench.voice().error()));
        return 1;
    }

    std::printf("app overhead over %d dictations per mode (goal: key-up -> text overhead <= 15 ms)\n", dictations);
    AppUnderTest* fileApp = nullptr;
    const auto file = bench.run(QStringLiteral("traditional"), wav, &fileApp);
    if (!file)
        return 1;
    std::unique_ptr<AppUnderTest> keep(fileApp);
    report("file mode: key-up -> text, minus fixed delays and backend", file->overheadMs);
    report("file mode: key-down -> capture stream opened", file->keyDownToCaptureMs);
    bench.idleAndRecordingCost(*keep, idleSeconds, longWav);
    keep.reset();

    const auto realtime = bench.run(QStringLiteral("realtime"), wav);
    if (!realtime)
        return 1;
    report("real-time mode: key-up -> text, minus fixed delays and backend", realtime->overheadMs);
    report("real-time mode: key-down -> capture stream opened", realtime->keyDownToCaptureMs);
    bench.realtimeStreamFigures();
    return 0;
}
