#pragma once

#include "config/IndicatorPositioner.h"
#include "ui/Indicator.h"

namespace velnor {

// Stands in for the floating indicator until it is part of the build: keeps
// the recording and recognising flags the controller reads, shows nothing.
class MinimalIndicator final : public Indicator, public IndicatorPositioner {
public:
    void startRecording() override
    {
        m_recording = true;
        m_size = WindowSize::Large;
    }
    void startRecognizing() override
    {
        m_recording = false;
        m_recognizing = true;
    }
    void finishRecognizing() override { resetToInitialState(); }
    void resetToInitialState() override
    {
        m_recording = false;
        m_recognizing = false;
        m_size = WindowSize::Small;
    }
    WindowSize currentSize() const override { return m_size; }
    bool isRecording() const override { return m_recording; }
    bool isRecognizing() const override { return m_recognizing; }
    bool hasWindow() const override { return false; }
    void bringToFront(bool) override {}
    void showWaveformLevels(const QVector<float>&) override {}
    void setPosition(const QString&) override {}

private:
    WindowSize m_size = WindowSize::Small;
    bool m_recording = false;
    bool m_recognizing = false;
};

} // namespace velnor
