#include "support/wayland/HeadlessSway.h"

#include "support/ChildProcess.h"
#include "support/EventLoopWait.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>

#include <unistd.h>

namespace velnor::test {

namespace {

QByteArray procFile(pid_t pid, const QString& name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Gone, or a zombie (one re-parented to init counts as ended). The command
// name in /proc/<pid>/stat may hold spaces and parentheses: the state follows its last ')'.
bool hasEnded(pid_t pid)
{
    const QByteArray stat = procFile(pid, QStringLiteral("stat"));
    const qsizetype state = stat.lastIndexOf(')') + 2;
    return state < 2 || state >= stat.size() || stat[state] == 'Z' || stat[state] == 'X';
}

// Every process below `root` (children the programs started themselves:
// the accessibility bus, XWayland, services the bus activated).
QList<pid_t> descendantsOf(pid_t root)
{
    QList<pid_t> found;
    for (const QByteArray& child : procFile(root, QStringLiteral("task/%1/children").arg(root)).split(' ')) {
        if (const pid_t pid = static_cast<pid_t>(child.toInt()); pid > 0)
            found << pid << descendantsOf(pid);
    }
    return found;
}

QString findEntry(const QString& dir, const QString& pattern)
{
    const QStringList names = QDir(dir).entryList({pattern}, QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (!name.endsWith(QLatin1String(".lock")))
            return QDir(dir).filePath(name);
    }
    return {};
}

QJsonObject findFocused(const QJsonObject& node)
{
    if (node.value(QStringLiteral("focused")).toBool() && node.contains(QStringLiteral("pid")))
        return node;
    for (const char* key : {"nodes", "floating_nodes"}) {
        for (const QJsonValue& child : node.value(QLatin1String(key)).toArray()) {
            const QJsonObject found = findFocused(child.toObject());
            if (!found.isEmpty())
                return found;
        }
    }
    return {};
}

} // namespace

HeadlessSway::HeadlessSway(bool xwayland)
{
    if (!m_base.isValid()) {
        fail(QStringLiteral("no temporary directory"));
        return;
    }
    QDir base(m_base.path());
    base.mkpath(QStringLiteral("home"));
    base.mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Each step sets the error when it fails; the rest is skipped.
    [[maybe_unused]] const bool started =
        (giveToUser(m_base.path())
         || fail(QStringLiteral("cannot hand %1 to uid %2 (tests must run as root)").arg(m_base.path()).arg(kUser)))
        && startBus() && startAccessibility() && startSway(xwayland) && startKeyboard();
}

HeadlessSway::~HeadlessSway()
{
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it)
        stop(**it);
}

QProcessEnvironment HeadlessSway::clientEnvironment() const
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/local/bin:/usr/bin:/bin"));
    environment.insert(QStringLiteral("HOME"), home());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    // What is known so far: each step adds what it started.
    const std::pair<const char*, QString> known[] = {{"DBUS_SESSION_BUS_ADDRESS", m_busAddress},
                                                     {"WAYLAND_DISPLAY", m_waylandDisplay},
                                                     {"SWAYSOCK", m_swaySocket},
                                                     {"DISPLAY", m_xDisplay}};
    for (const auto& [name, value] : known) {
        if (!value.isEmpty())
            environment.insert(QLatin1String(name), value);
    }
    return environment;
}

QStringList HeadlessSway::command(const QString& program, const QStringList& arguments)
{
    // setpriv execs the program: the started PID is the program's own.
    return QStringList{"setpriv", QStringLiteral("--reuid=%1").arg(kUser), QStringLiteral("--regid=%1").arg(kUser),
                       "--clear-groups", "--", program}
         + arguments;
}

void HeadlessSway::start(QProcess& process, const QString& program, const QStringList& arguments,
                         const QProcessEnvironment& environment)
{
    QStringList line = command(program, arguments);
    process.setProcessEnvironment(environment);
    process.start(line.takeFirst(), line);
}

QByteArray HeadlessSway::run(const QString& program, const QStringList& arguments, int timeoutMs) const
{
    QProcess process;
    start(process, program, arguments, clientEnvironment());
    // A late one is killed with `process`.
    const bool ok = process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    return ok ? process.readAllStandardOutput() : QByteArray();
}

bool HeadlessSway::giveToUser(const QString& path)
{
    if (::geteuid() == kUser)
        return true;
    return QProcess::execute(QStringLiteral("chown"), {"-R", QStringLiteral("%1:%1").arg(kUser), path}) == 0;
}

bool HeadlessSway::startBus()
{
    auto& bus = *m_processes.emplace_back(std::make_unique<QProcess>());
    start(bus, QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"}, clientEnvironment());
    if (!bus.waitForStarted(5000) || !waitUntil([&] { return bus.canReadLine(); }, 10000))
        return fail(QStringLiteral("the session bus did not start: ") + QString::fromUtf8(bus.readAllStandardError()));
    m_busAddress = QString::fromUtf8(bus.readLine()).trimmed();
    return true;
}

bool HeadlessSway::startAccessibility()
{
    const QString launcher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");
    if (!QFile::exists(launcher))
        return fail(QStringLiteral("at-spi2-core is not installed"));
    auto& atspi = *m_processes.emplace_back(std::make_unique<QProcess>());
    start(atspi, launcher, {QStringLiteral("--launch-immediately")}, clientEnvironment());
    const auto callBus = [this](const QStringList& call, int timeoutMs) {
        return !run(QStringLiteral("dbus-send"),
                    QStringList{"--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus"} + call, timeoutMs)
                    .isEmpty();
    };
    if (!waitUntil([&] { return callBus({"org.a11y.Bus.GetAddress"}, 2000); }, 10000))
        return fail(QStringLiteral("the accessibility bus did not start"));
    // Before any application starts, or toolkits never join the bus.
    return callBus({"org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
                    "variant:boolean:true"},
                   10000)
        || fail(QStringLiteral("could not enable the accessibility bus"));
}

bool HeadlessSway::startSway(bool xwayland)
{
    const QString config = m_base.filePath(QStringLiteral("sway.config"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // `force` starts XWayland at once, so DISPLAY is known before any client.
    file.write(QByteArray("xwayland ") + (xwayland ? "force" : "disable")
               + "\noutput HEADLESS-1 resolution 1280x720 position 0 0 bg #305070 solid_color\nfocus_follows_mouse no\n");
    file.close();
    giveToUser(config);

    QProcessEnvironment environment = clientEnvironment();
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    auto& sway = *m_processes.emplace_back(std::make_unique<QProcess>());
    sway.setStandardOutputFile(m_base.filePath(QStringLiteral("sway.log")));
    sway.setStandardErrorFile(m_base.filePath(QStringLiteral("sway.log")), QIODevice::Append);
    start(sway, QStringLiteral("sway"), {QStringLiteral("-c"), config}, environment);
    const bool up = sway.waitForStarted(5000) && waitUntil([&] {
        m_waylandDisplay = QFileInfo(findEntry(runtimeDir(), QStringLiteral("wayland-*"))).fileName();
        m_swaySocket = findEntry(runtimeDir(), QStringLiteral("sway-ipc.*"));
        return sway.state() == QProcess::Running && !m_waylandDisplay.isEmpty() && !m_swaySocket.isEmpty();
    }, 15000);
    if (!up)
        return fail(QStringLiteral("sway did not start; see ") + m_base.filePath(QStringLiteral("sway.log")));
    if (!xwayland)
        return true;
    // XWayland names its display on its command line.
    const bool x = waitUntil([&] {
        for (const pid_t pid : descendantsOf(static_cast<pid_t>(sway.processId()))) {
            const QList<QByteArray> argv = procFile(pid, QStringLiteral("cmdline")).split('\0');
            if (!argv.isEmpty() && argv.first().endsWith("Xwayland") && argv.size() > 1 && argv[1].startsWith(':')
                && QFile::exists(QStringLiteral("/tmp/.X11-unix/X") + QString::fromLatin1(argv[1].mid(1)))) {
                m_xDisplay = QString::fromLatin1(argv[1]);
                return true;
            }
        }
        return false;
    }, 15000);
    return x || fail(QStringLiteral("XWayland did not start; see ") + m_base.filePath(QStringLiteral("sway.log")));
}

bool HeadlessSway::startKeyboard()
{
    // Types nothing and stays a day: the seat keeps a keyboard while it lives.
    auto& keyboard = *m_processes.emplace_back(std::make_unique<QProcess>());
    start(keyboard, QStringLiteral("wtype"), {"-s", "86400000"}, clientEnvironment());
    const bool up = keyboard.waitForStarted(5000) && waitUntil([&] {
        return run(QStringLiteral("swaymsg"), {"-t", "get_inputs", "-r"}).contains("\"keyboard\"");
    }, 10000);
    return up || fail(QStringLiteral("the virtual keyboard did not appear"));
}

void HeadlessSway::stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    const QList<pid_t> children = descendantsOf(static_cast<pid_t>(process.processId()));
    endAsLogoutWould(process, 5000);
    for (const pid_t child : children) {
        if (!hasEnded(child))
            ::kill(child, SIGTERM);
    }
    for (const pid_t child : children) {
        if (!waitUntil([child] { return hasEnded(child); }, 3000))
            ::kill(child, SIGKILL);
    }
}

bool HeadlessSway::screenshot(const QString& pngPath) const
{
    const QByteArray png = run(QStringLiteral("grim"), {"-"});
    QFile file(pngPath);
    return !png.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(png) == png.size();
}

QJsonObject HeadlessSway::focusedNode() const
{
    return findFocused(QJsonDocument::fromJson(run(QStringLiteral("swaymsg"), {"-t", "get_tree", "-r"})).object());
}

QString HeadlessSway::focusedAppId() const
{
    const QJsonObject node = focusedNode();
    const QString appId = node.value(QStringLiteral("app_id")).toString();
    return appId.isEmpty() ? node.value(QStringLiteral("window_properties")).toObject().value(QStringLiteral("class")).toString()
                           : appId;
}

QString HeadlessSway::focusedTitle() const
{
    return focusedNode().value(QStringLiteral("name")).toString();
}

} // namespace velnor::test
