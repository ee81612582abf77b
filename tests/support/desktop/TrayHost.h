#pragma once

#include "support/EventLoopWait.h"
#include "support/RunProgram.h"

#include <QList>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <optional>

namespace velnor::test {

// A desktop tool's standard output (xwininfo, xdotool, import).
inline QString runTool(const QString& program, const QStringList& arguments)
{
    return QString::fromLocal8Bit(run(program, arguments));
}

// One window of the X tree, with absolute geometry.
struct XWindow {
    QString id;
    QRect geometry;
};

// Windows of the X tree whose name and class match, mapped or not.
inline QList<XWindow> windowsNamed(const QString& name, const QString& windowClass)
{
    // e.g.:   0x600006 "velnor": ("velnor" "velnor")  22x30+0+0  +1897+1
    static const QRegularExpression line(QStringLiteral(
        R"re((0x[0-9a-f]+) "([^"]*)": \("[^"]*" "([^"]*)"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))re"));
    QList<XWindow> found;
    const QString tree = runTool(QStringLiteral("xwininfo"), {"-root", "-tree"});
    for (const QString& text : tree.split(QLatin1Char('\n'))) {
        const auto match = line.match(text);
        if (match.hasMatch() && match.captured(2) == name && match.captured(3) == windowClass)
            found.append({match.captured(1), QRect(match.captured(6).toInt(), match.captured(7).toInt(),
                                                   match.captured(4).toInt(), match.captured(5).toInt())});
    }
    return found;
}

inline bool isViewable(const XWindow& window)
{
    return runTool(QStringLiteral("xwininfo"), {"-id", window.id}).contains(QStringLiteral("Map State: IsViewable"));
}

// Presses and releases a mouse button at a point of the screen (xdotool).
inline void clickAt(const QPoint& point, int button)
{
    runTool(QStringLiteral("xdotool"), {"mousemove", QString::number(point.x()), QString::number(point.y()), "click",
                                        QString::number(button)});
}

// The tray host of the test desktop: trayer, docked at the top right of the
// screen (scripts/packages/desktop.txt installs it).
class TrayHost final {
public:
    ~TrayHost()
    {
        m_trayer.kill();
        m_trayer.waitForFinished(5000);
    }

    // Starts trayer; true once its panel is on screen.
    bool start()
    {
        m_trayer.start(QStringLiteral("trayer"), {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                                                  "120", "--heighttype", "pixel", "--height", "32", "--SetDockType", "true"});
        return m_trayer.waitForStarted(5000) && waitUntil([this] { return panel().has_value(); }, 10000);
    }

    std::optional<QRect> panel() const
    {
        const QList<XWindow> panels = windowsNamed(QStringLiteral("panel"), QStringLiteral("trayer"));
        return panels.isEmpty() ? std::nullopt : std::optional<QRect>(panels.front().geometry);
    }

    // The icon an application docked here: its small window inside the panel.
    std::optional<QRect> iconOf(const QString& name, const QString& windowClass) const
    {
        const std::optional<QRect> area = panel();
        for (const XWindow& window : windowsNamed(name, windowClass)) {
            if (area && area->contains(window.geometry))
                return window.geometry;
        }
        return std::nullopt;
    }

private:
    QProcess m_trayer;
};

// An application's open popup menu: a mapped window of its own, larger than
// its tray icon and smaller than its main window.
inline std::optional<QRect> openPopupMenuOf(const QString& name, const QString& windowClass)
{
    for (const XWindow& window : windowsNamed(name, windowClass)) {
        const QRect& area = window.geometry;
        if (area.width() > 100 && area.height() > 80 && area.height() < 400 && isViewable(window))
            return area;
    }
    return std::nullopt;
}

} // namespace velnor::test
