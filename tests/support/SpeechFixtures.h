#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace velnor::test {

// Real speech made at test time: a synthetic voice, passed through sox and,
// for uploads, ffmpeg's AAC encoder, like a recording the app would send.
class SpeechFixtures final {
public:
    // flite's `slt` voice is one pocketsphinx's general English model hears
    // almost word for word; espeak-ng's is far harder for it.
    enum class Voice { EspeakNg, FliteSlt };

    explicit SpeechFixtures(QString workDir, Voice voice = Voice::EspeakNg);

    // The voice's own WAV (mono 16-bit) of `sentence`: its path, empty on failure (see error()).
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
    Voice m_voice;
    QString m_error;
    int m_counter = 0;
};

} // namespace velnor::test
