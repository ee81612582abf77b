#include "testing/FakeAudioFileRecorder.h"

#include <QFile>

namespace velnor {

bool FakeAudioFileRecorder::startRecording(const QString& outputFilePath, const QVariantMap&)
{
    startedFiles << outputFilePath;
    if (!startSucceeds)
        return false;
    isRecording = true;
    currentFile = outputFilePath;
    return true;
}

void FakeAudioFileRecorder::stopRecording()
{
    ++stopCount;
    if (!isRecording)
        return;
    isRecording = false;
    QFile file(currentFile);
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray(bytesPerRecording, '\x5a'));
}

void FakeAudioFileRecorder::deliverLevels(const QVector<float>& levels) const
{
    if (onSamples)
        onSamples(levels);
}

} // namespace velnor
