#include "testing/FakeIndicator.h"

namespace velnor {

void FakeIndicator::startRecording()
{
    recording = true;
    recognizing = false;
    calls << QStringLiteral("startRecording");
}

void FakeIndicator::startRecognizing()
{
    recording = false;
    recognizing = true;
    calls << QStringLiteral("startRecognizing");
}

void FakeIndicator::finishRecognizing()
{
    recording = false;
    recognizing = false;
    size = WindowSize::Small;
    calls << QStringLiteral("finishRecognizing");
}

void FakeIndicator::resetToInitialState()
{
    recording = false;
    recognizing = false;
    size = WindowSize::Small;
    calls << QStringLiteral("resetToInitialState");
}

void FakeIndicator::bringToFront(bool forceOverFullScreen)
{
    calls << (forceOverFullScreen ? QStringLiteral("bringToFront(forced)") : QStringLiteral("bringToFront"));
}

void FakeIndicator::showWaveformLevels(const QVector<float>&)
{
    ++waveformUpdates;
}

} // namespace velnor
