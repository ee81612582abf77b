#include "ui/indicator/FloatingWindowController.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "log/Logger.h"
#include "platform/SystemLog.h"
#include "ui/indicator/IndicatorAnimation.h"
#include "ui/indicator/IndicatorSurface.h"

#include <QStringList>

namespace velnor {

namespace {

// Resizes run at 60 frames a second; the waveform and ripple, which move
// gently and for as long as the user speaks, at 30 to keep recording cheap.
constexpr Duration kResizeFrameInterval{16};
constexpr Duration kContentFrameInterval{33};
constexpr Duration kVisibilityInterval = seconds(2.0);
constexpr Duration kReassertDelay = seconds(0.1);
constexpr Duration kShrinkDelay = seconds(0.3);
constexpr Duration kCorrectionDelay = seconds(0.1);
constexpr Duration kResetDuration = seconds(0.2);
constexpr Duration kActivationSettleDelay = seconds(0.5);

// Editors whose full-screen windows cover ordinary floating windows.
bool coversFloatingWindows(const QString& name)
{
    static const QStringList names = {QStringLiteral("Visual Studio Code"), QStringLiteral("VSCode"),
                                      QStringLiteral("Code"),               QStringLiteral("Xcode"),
                                      QStringLiteral("Safari"),             QStringLiteral("Chrome"),
                                      QStringLiteral("Firefox")};
    for (const QString& candidate : names) {
        if (name.contains(candidate))
            return true;
    }
    return false;
}

QRect roundedFrame(const QRectF& frame)
{
    return {qRound(frame.x()), qRound(frame.y()), qRound(frame.width()), qRound(frame.height())};
}

QRectF lerp(const QRectF& from, const QRectF& to, double t)
{
    const auto mix = [t](double a, double b) { return a + (b - a) * t; };
    return {mix(from.x(), to.x()), mix(from.y(), to.y()), mix(from.width(), to.width()),
            mix(from.height(), to.height())};
}

} // namespace

FloatingWindowController::FloatingWindowController(Dependencies dependencies)
    : m_with(std::move(dependencies))
{
    const WindowStyle& small = windowStyle(WindowSize::Small);
    m_cornerRadius = small.cornerRadius;
    // Placed where the user put it from the first frame on, not only after a change.
    const IndicatorPosition position =
        positionFromSetting(m_with.settings.string(QLatin1String(SettingsKey::FloatingWindowPosition)));
    m_frame = QRectF(originFor(position, small.size, availableArea()), small.size);
    present();
    ensureVisible();
    startVisibilityTimer();
    m_with.scheduler.after(kCorrectionDelay, [this, guard = m_lifetime.guard()] {
        if (!guard.expired())
            forceCorrectSmallWindowSize();
    });
}

FloatingWindowController::~FloatingWindowController()
{
    m_frameTimer.cancel();
    m_visibilityTimer.cancel();
    m_pendingShrink.cancel();
}

QRectF FloatingWindowController::availableArea() const
{
    return QRectF(m_with.availableGeometry ? m_with.availableGeometry() : QRect());
}

// MARK: - States

void FloatingWindowController::startRecording()
{
    m_with.log.info(QStringLiteral("开始录音状态"));
    // A shrink still pending from the previous dictation must not fold the
    // pill while this one records.
    m_pendingShrink.cancel();
    if (m_currentSize == WindowSize::Small)
        toggleSize();
    if (m_content) {
        m_content->setState(ViewState::Recording, now());
        m_content->setAppIcon(m_with.frontAppIcon ? m_with.frontAppIcon() : QImage());
    }
    m_isRecording = true;
    m_isRecognizing = false;
    present();
}

void FloatingWindowController::startRecognizing()
{
    m_with.log.info(QStringLiteral("开始识别状态"));
    if (m_content)
        m_content->setState(ViewState::Recognizing, now());
    m_isRecording = false;
    m_isRecognizing = true;
    present();
}

void FloatingWindowController::setContentState(std::optional<ViewState> state)
{
    if (m_content)
        m_content->setState(state, now());
    if (state) {
        m_isRecording = *state == ViewState::Recording;
        m_isRecognizing = *state == ViewState::Recognizing;
    }
    present();
}

void FloatingWindowController::finishRecognizing()
{
    m_with.log.info(QStringLiteral("完成识别，准备收缩"));
    if (m_content)
        m_content->setState(ViewState::Recording, now());
    m_isRecording = false;
    m_isRecognizing = false;
    present();
    scheduleShrink();
}

void FloatingWindowController::scheduleShrink()
{
    // A shrink already on its way does the job for this call too.
    if (m_pendingShrink.isValid() && !m_pendingShrink.isFinished())
        return;
    m_pendingShrink = m_with.scheduler.after(kShrinkDelay, [this, guard = m_lifetime.guard()] {
        if (guard.expired() || m_currentSize != WindowSize::Large)
            return;
        toggleSize();
        m_with.scheduler.after(kCorrectionDelay, [this, guard] {
            if (!guard.expired())
                forceCorrectSmallWindowSize();
        });
    });
}

void FloatingWindowController::resetToInitialState()
{
    m_with.log.info(QStringLiteral("强制重置悬浮窗到初始状态"));
    m_pendingShrink.cancel();
    if (m_currentSize == WindowSize::Large) {
        m_currentSize = WindowSize::Small;
        stepResize();
        const WindowStyle& small = windowStyle(WindowSize::Small);
        const IndicatorPosition position = positionOfFrame(m_frame, availableArea());
        applyStyle(WindowSize::Small);
        m_cornerRadius = small.cornerRadius;
        animateTo(anchoredFrame(m_frame, small.size, position), small.cornerRadius, kResetDuration);
    }
    if (m_content)
        m_content->setState(ViewState::Recording, now());
    m_isRecording = false;
    m_isRecognizing = false;
    present();
    m_with.log.info(QStringLiteral("悬浮窗状态重置完成"));
}

// MARK: - Size

void FloatingWindowController::toggleSize()
{
    m_currentSize = m_currentSize == WindowSize::Small ? WindowSize::Large : WindowSize::Small;
    const WindowStyle& target = windowStyle(m_currentSize);
    stepResize();
    const IndicatorPosition position = positionOfFrame(m_frame, availableArea());
    applyStyle(m_currentSize);
    animateTo(anchoredFrame(m_frame, target.size, position), target.cornerRadius, seconds(target.animationDuration));
}

void FloatingWindowController::animateTo(const QRectF& target, double targetRadius, Duration duration)
{
    m_resize = ResizeAnimation{m_frame, target, m_cornerRadius, targetRadius, now(), duration};
    scheduleFrame();
}

void FloatingWindowController::applyStyle(WindowSize size)
{
    if (windowStyle(size).showCustomView) {
        if (!m_content)
            m_content = std::make_unique<CustomContentView>(m_with.scheduler, m_with.random, now());
        scheduleFrame();
    } else {
        m_content.reset();
    }
}

bool FloatingWindowController::stepResize()
{
    if (!m_resize)
        return false;
    const double total = std::chrono::duration<double>(m_resize->duration).count();
    const double elapsed = std::chrono::duration<double>(now() - m_resize->start).count();
    const double progress = total <= 0 ? 1.0 : std::min(1.0, elapsed / total);
    const double eased = easeInEaseOut(progress);
    m_frame = lerp(m_resize->from, m_resize->to, eased);
    m_cornerRadius = m_resize->fromRadius + (m_resize->toRadius - m_resize->fromRadius) * eased;
    if (progress >= 1.0)
        m_resize.reset();
    return m_resize.has_value();
}

void FloatingWindowController::forceCorrectSmallWindowSize()
{
    // A shrink still running ends at the exact size; snapping it half-way
    // would cut it short and shift the bar by a rounding pixel each time.
    if (m_currentSize != WindowSize::Small || m_resize)
        return;
    const QSizeF small = windowStyle(WindowSize::Small).size;
    const QSize actual = m_with.surface.frame().size();
    if (actual == small.toSize())
        return;
    m_with.log.info(QStringLiteral("检测到small窗口尺寸异常，强制修正: 当前(") + QString::number(actual.width())
                    + QStringLiteral("×") + QString::number(actual.height()) + QStringLiteral(") -> 正确(")
                    + QString::number(small.width()) + QStringLiteral("×") + QString::number(small.height())
                    + QStringLiteral(")"));
    const QRectF present = m_with.surface.frame();
    m_frame = anchoredFrame(present, small, positionOfFrame(present, availableArea()));
    m_cornerRadius = windowStyle(WindowSize::Small).cornerRadius;
    this->present();
}

// MARK: - Position

void FloatingWindowController::setPosition(const QString& position)
{
    setPosition(positionFromSetting(position));
}

void FloatingWindowController::setPosition(int index)
{
    if (const auto position = positionFromIndex(index))
        setPosition(*position);
}

void FloatingWindowController::setPosition(IndicatorPosition position)
{
    stepResize();
    // A resize under way is moved whole, so that it ends at the new place.
    const QRectF& settled = m_resize ? m_resize->to : m_frame;
    const QPointF origin = originFor(position, settled.size(), availableArea());
    m_with.settings.setString(QLatin1String(SettingsKey::FloatingWindowPosition), positionSettingValue(position));
    m_with.systemLog.write(SystemLog::Type::Default,
                           QString::asprintf("New window position: x: %f, y: %f", origin.x(), origin.y()));
    const QPointF shift = origin - settled.topLeft();
    m_frame.translate(shift);
    if (m_resize) {
        m_resize->from.translate(shift);
        m_resize->to.translate(shift);
    }
    present();
}

// MARK: - Staying visible

void FloatingWindowController::bringToFront(bool forceOverFullScreen)
{
    if (forceOverFullScreen)
        present();
    m_with.surface.bringToFront(forceOverFullScreen);
}

void FloatingWindowController::ensureVisible()
{
    m_with.surface.bringToFront(false);
    m_with.scheduler.after(kReassertDelay, [this, guard = m_lifetime.guard()] {
        if (!guard.expired())
            m_with.surface.bringToFront(false);
    });
}

void FloatingWindowController::startVisibilityTimer()
{
    m_visibilityTimer.cancel();
    m_visibilityTimer = m_with.scheduler.after(kVisibilityInterval, [this] {
        ensureVisible();
        startVisibilityTimer();
    });
}

void FloatingWindowController::handleSpaceChange()
{
    m_with.surface.bringToFront(false);
    setPosition(positionFromSetting(m_with.settings.string(QLatin1String(SettingsKey::FloatingWindowPosition))));
    ensureVisible();
}

void FloatingWindowController::handleApplicationActivation(const std::optional<FrontAppInfo>& application)
{
    if (!application)
        return;
    const QString name = application->localizedName.value_or(QStringLiteral("Unknown"));
    m_with.log.info(QStringLiteral("应用激活: ") + name);
    ensureVisible();
    if (!coversFloatingWindows(name))
        return;
    // Raised over the editor; the indicator never takes the keyboard focus,
    // so dictated text cannot land in it.
    bringToFront(true);
    m_with.scheduler.after(kActivationSettleDelay, [this, guard = m_lifetime.guard()] {
        if (!guard.expired())
            ensureVisible();
    });
}

// MARK: - Content and frames

void FloatingWindowController::showWaveformLevels(const QVector<float>& levels)
{
    if (m_content)
        m_content->waveformViewModel().updateWithExternalSamples(levels);
}

void FloatingWindowController::scheduleFrame()
{
    if (m_frameScheduled)
        return;
    m_frameScheduled = true;
    const Duration interval = m_resize ? kResizeFrameInterval : kContentFrameInterval;
    m_frameTimer = m_with.scheduler.after(interval, [this] { onFrame(); });
}

void FloatingWindowController::onFrame()
{
    m_frameScheduled = false;
    const bool resizing = stepResize();
    if (m_content)
        m_content->advance(now());
    present();
    // Only while something moves: idle, the indicator costs nothing.
    if (resizing || m_content)
        scheduleFrame();
}

IndicatorScene FloatingWindowController::scene() const
{
    const WindowStyle& style = windowStyle(m_currentSize);
    IndicatorScene result;
    result.size = m_frame.size();
    result.cornerRadius = m_cornerRadius;
    result.background = style.backgroundColor;
    result.alpha = style.alphaValue;
    result.opaqueBackdrop = !m_with.surface.isComposited();
    if (m_content)
        m_content->fillScene(result, now());
    return result;
}

void FloatingWindowController::present()
{
    m_with.surface.setFrame(roundedFrame(m_frame));
    m_with.surface.present(scene());
}

} // namespace velnor
