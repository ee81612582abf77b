#pragma once

#include <QVector>

namespace velnor {

enum class WindowSize { Small, Large };

// The floating indicator as the dictation controller drives it.
class Indicator {
public:
    Indicator() = default;
    virtual ~Indicator() = default;
    Indicator(const Indicator&) = delete;
    Indicator& operator=(const Indicator&) = delete;

    virtual void startRecording() = 0;
    // Clears the recording flag and sets the recognising flag.
    virtual void startRecognizing() = 0;
    virtual void finishRecognizing() = 0;
    virtual void resetToInitialState() = 0;

    virtual WindowSize currentSize() const = 0;
    virtual bool isRecording() const = 0;
    virtual bool isRecognizing() const = 0;

    // Whether there is a window to place at all.
    virtual bool hasWindow() const = 0;
    // Raises the window above everything; `forceOverFullScreen` lifts it above
    // full-screen editors too and displays it at once.
    virtual void bringToFront(bool forceOverFullScreen) = 0;

    // One buffer's waveform levels (main thread).
    virtual void showWaveformLevels(const QVector<float>& levels) = 0;
};

inline const char* windowSizeName(WindowSize size)
{
    return size == WindowSize::Large ? "large" : "small";
}

} // namespace velnor
