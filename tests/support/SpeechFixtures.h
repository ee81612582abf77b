#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace velnor::test {

// Real speech made at test time: espeak-ng's voice, passed through sox and,
// for uploads, ffmpeg's AAC encoder, like a recording the app would send.
class SpeechFixtures final {
public:
    explicit SpeechFixtures(QString workDir);

    // espeak-ng's own WAV (22.05 kHz mono 16-bit) of `sentence`: its path, empty on failure (see error()).
    QString wav(const QString& sentence);
    // 16 kHz mono int16 samples of `sentence`; empty on failure.
    std::vector<std::int16_t> pcm16k(const QString& sentence);
    // An .m4a (AAC, 44.1 kHz stereo) file's bytes with `padSeconds` of silence at each end, and more at the
    // end when needed to last at least `minSeconds`.
    QByteArray m4a(const QString& sentence, double padSeconds = 0.0, double minSeconds = 0.0);
    // A JSGF grammar accepting exactly these sentences (lower case words); returns its path.
    QString grammar(const QStringList& sentences);

    QString error() const { return m_error; }

private:
    bool run(const QString& program, const QStringList& arguments);

    QString m_dir;
    QString m_error;
    int m_counter = 0;
};

} // namespace velnor::test
