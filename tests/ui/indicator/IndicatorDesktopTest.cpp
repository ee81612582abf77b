// The indicator on a real X11 desktop (Xvfb + openbox): it never becomes the
// active window, clicks fall through it, it stays on every desktop and it
// keeps clear of panels.
#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/QtScheduler.h"
#include "platform/fake/FakeSystemLog.h"
#include "platform/linux/x11/X11OverlayWindows.h"
#include "platform/linux/x11/XcbHandles.h"
#include "support/EventLoopWait.h"
#include "support/LogCapture.h"
#include "ui/indicator/FloatingWindowController.h"
#include "ui/indicator/FloatingWindowView.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QScreen>
#include <QWidget>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>

namespace velnor {
namespace {

using test::waitUntil;

// Reads and pokes the desktop on a connection of its own.
class Desktop final {
public:
    Desktop()
        : m_connection(xcb_connect(nullptr, nullptr))
        , m_root(xcb_setup_roots_iterator(xcb_get_setup(m_connection.get())).data->root)
    {
    }

    xcb_atom_t atom(const char* name)
    {
        x11::XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            m_connection.get(), xcb_intern_atom(m_connection.get(), 0, static_cast<quint16>(std::strlen(name)), name),
            nullptr));
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }

    std::optional<quint32> cardinal(xcb_window_t window, const char* property)
    {
        x11::XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            m_connection.get(), xcb_get_property(m_connection.get(), 0, window, atom(property), XCB_ATOM_ANY, 0, 1),
            nullptr));
        if (!reply || xcb_get_property_value_length(reply.get()) < 4)
            return std::nullopt;
        return *static_cast<const quint32*>(xcb_get_property_value(reply.get()));
    }

    std::optional<quint32> activeWindow() { return cardinal(m_root, "_NET_ACTIVE_WINDOW"); }
    std::optional<quint32> currentDesktop() { return cardinal(m_root, "_NET_CURRENT_DESKTOP"); }

    // Where the X server has the window, in root coordinates.
    QRect geometry(xcb_window_t window)
    {
        x11::XcbReply<xcb_get_geometry_reply_t> size(
            xcb_get_geometry_reply(m_connection.get(), xcb_get_geometry(m_connection.get(), window), nullptr));
        x11::XcbReply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
            m_connection.get(), xcb_translate_coordinates(m_connection.get(), window, m_root, 0, 0), nullptr));
        if (!size || !origin)
            return {};
        return {origin->dst_x, origin->dst_y, size->width, size->height};
    }

    bool isViewable(xcb_window_t window)
    {
        x11::XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
            m_connection.get(), xcb_get_window_attributes(m_connection.get(), window), nullptr));
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    void switchToDesktop(quint32 desktop)
    {
        xcb_client_message_event_t event;
        std::memset(&event, 0, sizeof event);
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = m_root;
        event.type = atom("_NET_CURRENT_DESKTOP");
        event.data.data32[0] = desktop;
        xcb_send_event(m_connection.get(), 0, m_root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(m_connection.get());
    }

    void click(const QPoint& at)
    {
        xcb_connection_t* c = m_connection.get();
        xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root, static_cast<qint16>(at.x()),
                            static_cast<qint16>(at.y()), 0);
        xcb_test_fake_input(c, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(c, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(c);
    }

    // A dock along the left edge that reserves `width` pixels.
    xcb_window_t mapLeftPanel(quint16 width, quint16 height)
    {
        xcb_connection_t* c = m_connection.get();
        const xcb_window_t panel = xcb_generate_id(c);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, panel, m_root, 0, 0, width, height, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        const xcb_atom_t dock = atom("_NET_WM_WINDOW_TYPE_DOCK");
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, panel, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &dock);
        const std::array<quint32, 12> strut = {width, 0, 0, 0, 0, static_cast<quint32>(height - 1), 0, 0, 0, 0, 0, 0};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, panel, atom("_NET_WM_STRUT_PARTIAL"), XCB_ATOM_CARDINAL, 32,
                            strut.size(), strut.data());
        xcb_map_window(c, panel);
        xcb_flush(c);
        return panel;
    }

    void destroy(xcb_window_t window)
    {
        xcb_destroy_window(m_connection.get(), window);
        xcb_flush(m_connection.get());
    }

private:
    x11::XcbConnection m_connection;
    xcb_window_t m_root;
};

// An ordinary application window that counts the clicks it gets.
class ClickTarget final : public QWidget {
public:
    ClickTarget()
        : QWidget(nullptr, Qt::FramelessWindowHint)
    {
    }
    QList<QPoint> presses;

protected:
    void mousePressEvent(QMouseEvent* event) override { presses.append(event->globalPosition().toPoint()); }
};

struct IndicatorDesktopTest : ::testing::Test {
    Desktop desktop;
    X11OverlayWindows overlay;
    QtScheduler scheduler;
    MemorySettingsStore settings;
    test::LogCapture log;
    FakeSystemLog systemLog;
    QElapsedTimer clock;
    std::unique_ptr<FloatingWindowView> view;
    std::unique_ptr<FloatingWindowController> controller;

    void SetUp() override
    {
        ASSERT_TRUE(overlay.isAvailable()) << "needs the X desktop of scripts/with-services.sh";
        clock.start();
    }

    void makeIndicator()
    {
        view = std::make_unique<FloatingWindowView>(&overlay);
        controller = std::make_unique<FloatingWindowController>(FloatingWindowController::Dependencies{
            scheduler, settings, log.logger(), systemLog, *view,
            [] { return QGuiApplication::primaryScreen()->availableGeometry(); }, [] { return QImage(); },
            [this] { return Duration(clock.elapsed()); },
            [] { return QRandomGenerator::global()->generateDouble(); }});
    }
    xcb_window_t indicatorWindow() const { return static_cast<xcb_window_t>(view->winId()); }
    bool indicatorAt(const QRect& frame) { return desktop.geometry(indicatorWindow()) == frame; }
};

TEST_F(IndicatorDesktopTest, NeverActiveAndClicksReachTheWindowBelow)
{
    ClickTarget below;
    below.setGeometry(660, 680, 600, 400);
    below.show();
    below.activateWindow();
    const auto belowId = static_cast<quint32>(below.winId());
    ASSERT_TRUE(waitUntil([&] { return desktop.activeWindow() == belowId; }));

    makeIndicator();
    controller->startRecording();
    const QRect pill(910, 1045, 100, 30);
    ASSERT_TRUE(waitUntil([&] { return indicatorAt(pill); })) << "pill at " << desktop.geometry(indicatorWindow()).x();
    test::runEventLoopFor(200); // let the window manager act on the new window, if it would
    EXPECT_EQ(desktop.activeWindow(), belowId);

    // The first synthetic click on a fresh desktop can be lost on its way in
    // (openbox), so a click beside the pill proves the path first.
    const QPoint beside(700, 720);
    desktop.click(beside);
    ASSERT_TRUE(waitUntil([&] { return below.presses.contains(beside); }, 3000));
    desktop.click(pill.center());
    ASSERT_TRUE(waitUntil([&] { return below.presses.contains(pill.center()); }, 3000))
        << "the click stayed in the indicator";
    EXPECT_NE(desktop.activeWindow(), indicatorWindow());
    EXPECT_FALSE(view->isActiveWindow());
}

TEST_F(IndicatorDesktopTest, StaysPutOnADesktopSwitch)
{
    makeIndicator();
    const QRect bar(940, 1069, 40, 6);
    ASSERT_TRUE(waitUntil([&] { return indicatorAt(bar) && desktop.isViewable(indicatorWindow()); }));
    ASSERT_TRUE(waitUntil([&] { return desktop.cardinal(indicatorWindow(), "_NET_WM_DESKTOP") == 0xFFFFFFFFu; }));
    const quint32 start = desktop.currentDesktop().value_or(0);
    desktop.switchToDesktop(start + 1);
    ASSERT_TRUE(waitUntil([&] { return desktop.currentDesktop() == start + 1; })) << "the desktop has one workspace";
    controller->handleSpaceChange();
    test::runEventLoopFor(200);
    EXPECT_TRUE(desktop.isViewable(indicatorWindow()));
    EXPECT_TRUE(indicatorAt(bar));
    desktop.switchToDesktop(start);
    EXPECT_TRUE(waitUntil([&] { return desktop.currentDesktop() == start; }));
}

TEST_F(IndicatorDesktopTest, BottomLeftSitsBesideALeftPanel)
{
    settings.setString(QLatin1String(SettingsKey::FloatingWindowPosition), QStringLiteral("bottom_left"));
    const xcb_window_t panel = desktop.mapLeftPanel(100, 1080);
    ASSERT_TRUE(waitUntil([] { return QGuiApplication::primaryScreen()->availableGeometry().left() == 100; }))
        << "work area stays " << QGuiApplication::primaryScreen()->availableGeometry().left();
    makeIndicator();
    EXPECT_TRUE(waitUntil([&] { return indicatorAt(QRect(105, 1069, 40, 6)); }))
        << "bar at x " << desktop.geometry(indicatorWindow()).x();
    // Growing, the pill keeps its left edge beside the panel.
    controller->startRecording();
    EXPECT_TRUE(waitUntil([&] { return indicatorAt(QRect(105, 1045, 100, 30)); }))
        << "pill at x " << desktop.geometry(indicatorWindow()).x();
    desktop.destroy(panel);
    EXPECT_TRUE(waitUntil([] { return QGuiApplication::primaryScreen()->availableGeometry().left() == 0; }));
}

} // namespace
} // namespace velnor
