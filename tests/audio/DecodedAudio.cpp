#include "DecodedAudio.h"

#include <QProcess>

#include <cstring>

namespace velnor::test {

namespace {

QByteArray output(const QString& program, const QStringList& arguments, bool* ok)
{
    QProcess process;
    process.start(program, arguments);
    *ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

} // namespace

DecodedAudio decodeAudioFile(const QString& path)
{
    DecodedAudio result;
    const QByteArray probed = output(QStringLiteral("ffprobe"),
                                     QStringLiteral("-v error -select_streams a:0 -show_entries "
                                                    "stream=codec_name,sample_rate,channels:format=duration -of "
                                                    "default=noprint_wrappers=1")
                                             .split(' ')
                                         << path,
                                     &result.opened);
    for (const QByteArray& line : probed.split('\n')) {
        const QString value = QString::fromUtf8(line.mid(line.indexOf('=') + 1));
        if (line.startsWith("codec_name="))
            result.codecName = value;
        else if (line.startsWith("sample_rate="))
            result.sampleRate = value.toInt();
        else if (line.startsWith("channels="))
            result.channels = value.toInt();
        else if (line.startsWith("duration="))
            result.containerSeconds = value.toDouble();
    }
    result.opened = result.opened && result.sampleRate > 0;
    bool decoded = false;
    const QByteArray samples = output(QStringLiteral("ffmpeg"),
                                      QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path}
                                          + QStringLiteral("-map 0:a:0 -af pan=mono|c0=c0 -f f32le -").split(' '),
                                      &decoded);
    result.firstChannel.resize(size_t(samples.size()) / sizeof(float));
    std::memcpy(result.firstChannel.data(), samples.constData(), result.firstChannel.size() * sizeof(float));
    return result;
}

} // namespace velnor::test
