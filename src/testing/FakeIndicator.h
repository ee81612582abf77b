#pragma once

#include "ui/Indicator.h"

#include <QStringList>

namespace velnor {

// Indicator that keeps the flags a real one keeps and records every call.
class FakeIndicator final : public Indicator {
public:
    void startRecording() override;
    void startRecognizing() override;
    void finishRecognizing() override;
    void resetToInitialState() override;

    WindowSize currentSize() const override { return size; }
    bool isRecording() const override { return recording; }
    bool isRecognizing() const override { return recognizing; }
    bool hasWindow() const override { return windowExists; }
    void bringToFront(bool forceOverFullScreen) override;
    void showWaveformLevels(const QVector<float>& levels) override;

    WindowSize size = WindowSize::Small;
    bool recording = false;
    bool recognizing = false;
    bool windowExists = true;
    int waveformUpdates = 0;
    QStringList calls;
};

} // namespace velnor
