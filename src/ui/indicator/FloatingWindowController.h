#pragma once

#include "config/IndicatorPositioner.h"
#include "core/Lifetime.h"
#include "core/Scheduler.h"
#include "platform/FrontAppInfo.h"
#include "ui/Indicator.h"
#include "ui/indicator/CustomContentView.h"
#include "ui/indicator/IndicatorGeometry.h"

#include <QImage>
#include <QRectF>

#include <functional>
#include <memory>
#include <optional>

namespace velnor {

class IndicatorSurface;
class Logger;
class SettingsStore;
class SystemLog;

// Drives the floating indicator: small idle bar, large pill while dictating,
// animated anchored resizes, the stored screen position, staying on top.
class FloatingWindowController final : public Indicator, public IndicatorPositioner {
public:
    struct Dependencies {
        Scheduler& scheduler;
        SettingsStore& settings;
        Logger& log;
        SystemLog& systemLog;
        IndicatorSurface& surface;
        // The main screen's area outside panels and docks; empty without a screen.
        std::function<QRect()> availableGeometry;
        // The frontmost application's icon (null image when unknown).
        std::function<QImage()> frontAppIcon;
        // Monotonic time for animations (the scheduler's clock in tests).
        std::function<Duration()> monotonicNow;
        // Uniform values in [0, 1) for the waveform before real levels arrive.
        std::function<double()> random;
    };

    explicit FloatingWindowController(Dependencies dependencies);
    ~FloatingWindowController() override;

    // Indicator
    void startRecording() override;
    void startRecognizing() override;
    void finishRecognizing() override;
    void resetToInitialState() override;
    WindowSize currentSize() const override { return m_currentSize; }
    bool isRecording() const override { return m_isRecording; }
    bool isRecognizing() const override { return m_isRecognizing; }
    bool hasWindow() const override { return true; }
    void bringToFront(bool forceOverFullScreen) override;
    void showWaveformLevels(const QVector<float>& levels) override;

    // IndicatorPositioner: a setting value ("top_left" … ); unknown → bottom centre.
    void setPosition(const QString& position) override;
    // A position index 0…5; out-of-range indexes are ignored.
    void setPosition(int index);
    void setPosition(IndicatorPosition position);

    // Shows a face (none flips to the other one); a given state also sets the flags.
    void setContentState(std::optional<ViewState> state);

    // The user switched desktops or a full-screen window came up.
    void handleSpaceChange();
    // Another application came to the front.
    void handleApplicationActivation(const std::optional<FrontAppInfo>& application);
    void ensureVisible();
    void forceCorrectSmallWindowSize();

    bool isAnimating() const { return m_resize.has_value(); }
    QRectF frame() const { return m_frame; }
    const CustomContentView* contentView() const { return m_content.get(); }
    IndicatorScene scene() const;

private:
    struct ResizeAnimation {
        QRectF from;
        QRectF to;
        double fromRadius = 0;
        double toRadius = 0;
        Duration start{0};
        Duration duration{0};
    };

    QRectF availableArea() const;
    Duration now() const { return m_with.monotonicNow(); }
    void toggleSize();
    void animateTo(const QRectF& target, double targetRadius, Duration duration);
    void applyStyle(WindowSize size);
    void scheduleShrink();
    void startVisibilityTimer();
    void scheduleFrame();
    void onFrame();
    // Brings the resize up to `now`; true while it still runs.
    bool stepResize();
    void present();

    Dependencies m_with;
    WindowSize m_currentSize = WindowSize::Small;
    bool m_isRecording = false;
    bool m_isRecognizing = false;
    QRectF m_frame;
    double m_cornerRadius = 0;
    std::optional<ResizeAnimation> m_resize;
    std::unique_ptr<CustomContentView> m_content;
    bool m_frameScheduled = false;
    Cancellable m_frameTimer;
    Cancellable m_visibilityTimer;
    Cancellable m_pendingShrink;
    Lifetime m_lifetime;
};

} // namespace velnor
