#include "platform/linux/x11/EwmhWorkspace.h"

#include <QFile>
#include <QLocale>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTextStream>

#include <cstring>

namespace velnor::x11 {

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

std::optional<QString> nameFromEntry(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    const QString localized = QStringLiteral("Name[%1]=").arg(QLocale().name());
    const QString language = QStringLiteral("Name[%1]=").arg(QLocale().name().section(QLatin1Char('_'), 0, 0));
    std::optional<QString> plain;
    std::optional<QString> local;
    bool inMainGroup = false;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        if (line.startsWith(QStringLiteral("Name=")))
            plain = line.mid(5);
        else if (line.startsWith(localized))
            local = line.mid(localized.size());
        else if (!local && line.startsWith(language))
            local = line.mid(language.size());
    }
    return local ? local : plain;
}

} // namespace

std::optional<QString> desktopEntryName(const QString& windowClass)
{
    for (const QString& candidate : {windowClass, windowClass.toLower()}) {
        const QString path =
            QStandardPaths::locate(QStandardPaths::ApplicationsLocation, candidate + QStringLiteral(".desktop"));
        if (path.isEmpty())
            continue;
        if (auto name = nameFromEntry(path))
            return name;
    }
    return std::nullopt;
}

EwmhWorkspace::EwmhWorkspace(const QByteArray& displayName, QObject* parent)
    : QObject(parent)
    , m_connection(xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), nullptr))
    , m_watch(xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), nullptr))
{
    if (xcb_connection_has_error(m_connection.get()) || xcb_connection_has_error(m_watch.get()))
        return;
    xcb_connection_t* connection = m_connection.get();
    m_root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    m_activeWindowAtom = internAtom(connection, "_NET_ACTIVE_WINDOW");
    m_currentDesktopAtom = internAtom(connection, "_NET_CURRENT_DESKTOP");
    m_pidAtom = internAtom(connection, "_NET_WM_PID");
    m_iconAtom = internAtom(connection, "_NET_WM_ICON");
    m_available = m_activeWindowAtom != XCB_NONE;

    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_watch.get(), m_root, XCB_CW_EVENT_MASK, &events);
    xcb_flush(m_watch.get());
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_watch.get()), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &EwmhWorkspace::readEvents);
}

EwmhWorkspace::~EwmhWorkspace() = default;

void EwmhWorkspace::readEvents()
{
    while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(m_watch.get())}) {
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            continue;
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
        if (notify->atom == m_activeWindowAtom)
            emit activeApplicationChanged();
        else if (notify->atom == m_currentDesktopAtom)
            emit currentDesktopChanged();
    }
}

QByteArray EwmhWorkspace::property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type,
                                   std::uint32_t maxLength) const
{
    xcb_connection_t* connection = m_connection.get();
    const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, name, type, 0, maxLength), nullptr));
    if (!reply || reply->type == XCB_NONE)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

std::optional<xcb_window_t> EwmhWorkspace::activeWindow() const
{
    if (!m_available)
        return std::nullopt;
    const QByteArray value = property(m_root, m_activeWindowAtom, XCB_ATOM_WINDOW, 1);
    if (value.size() < 4)
        return std::nullopt;
    xcb_window_t window = XCB_NONE;
    std::memcpy(&window, value.constData(), sizeof window);
    if (window == XCB_NONE)
        return std::nullopt;
    return window;
}

std::optional<FrontAppInfo> EwmhWorkspace::frontmostApplication() const
{
    const auto window = activeWindow();
    if (!window)
        return std::nullopt;
    FrontAppInfo info;
    // WM_CLASS is "instance\0class\0".
    const QList<QByteArray> classParts = property(*window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING).split('\0');
    if (classParts.size() >= 2 && !classParts[1].isEmpty())
        info.bundleId = QString::fromLocal8Bit(classParts[1]);
    if (info.bundleId)
        info.localizedName = desktopEntryName(*info.bundleId).value_or(*info.bundleId);
    const QByteArray pid = property(*window, m_pidAtom, XCB_ATOM_CARDINAL, 1);
    if (pid.size() >= 4) {
        std::uint32_t value = 0;
        std::memcpy(&value, pid.constData(), sizeof value);
        info.processId = static_cast<qint32>(value);
    }
    return info;
}

QImage EwmhWorkspace::frontmostApplicationIcon(int size) const
{
    const auto window = activeWindow();
    if (!window)
        return {};
    // _NET_WM_ICON: width, height, then width×height ARGB pixels, repeated per size.
    const QByteArray data = property(*window, m_iconAtom, XCB_ATOM_CARDINAL, 1u << 20);
    const auto* words = reinterpret_cast<const std::uint32_t*>(data.constData());
    const qsizetype count = data.size() / 4;
    QImage best;
    for (qsizetype at = 0; at + 2 <= count;) {
        const std::uint32_t width = words[at];
        const std::uint32_t height = words[at + 1];
        const qsizetype pixels = qsizetype(width) * qsizetype(height);
        if (width == 0 || height == 0 || width > 1024 || height > 1024 || at + 2 + pixels > count)
            break;
        const bool closer = best.isNull() || std::abs(int(width) - size) < std::abs(best.width() - size);
        if (closer) {
            QImage image(int(width), int(height), QImage::Format_ARGB32);
            for (std::uint32_t y = 0; y < height; ++y)
                std::memcpy(image.scanLine(int(y)), words + at + 2 + qsizetype(y) * width, width * 4);
            best = image;
        }
        at += 2 + pixels;
    }
    return best;
}

} // namespace velnor::x11
