#include "recognition/PocketsphinxRecognizer.h"

#include <pocketsphinx.h>
#include <sphinxbase/cmn.h>
#include <sphinxbase/feat.h>

#include <QFileInfo>

#include <mutex>

namespace velnor::server {

namespace {

constexpr unsigned kDitherSeed = 1;
const char* const kDebianModelDir = "/usr/share/pocketsphinx/model/en-us";

bool checkReadable(const QString& path, bool directory, const char* what, QString* error)
{
    const QFileInfo info(path);
    const bool ok = directory ? info.isDir() : (info.isFile() && info.isReadable());
    if (!ok && error)
        *error = QStringLiteral("%1 not found: %2").arg(QLatin1String(what), path);
    return ok;
}

// Model loading touches the library's process-wide logging state; one at a time.
std::mutex& loadMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

RecognizerModel RecognizerModel::debianEnglish()
{
    const QString dir = QString::fromLatin1(kDebianModelDir);
    return {dir + QStringLiteral("/en-us"), dir + QStringLiteral("/en-us.lm.bin"),
            dir + QStringLiteral("/cmudict-en-us.dict"), QString()};
}

std::unique_ptr<PocketsphinxRecognizer> PocketsphinxRecognizer::create(const RecognizerModel& model, QString* error)
{
    if (!checkReadable(model.acousticModel, true, "acoustic model", error)
        || !checkReadable(model.dictionary, false, "dictionary", error))
        return nullptr;
    const bool useGrammar = !model.grammar.isEmpty();
    if (useGrammar ? !checkReadable(model.grammar, false, "grammar", error)
                   : !checkReadable(model.languageModel, false, "language model", error))
        return nullptr;

    const QByteArray hmm = QFile::encodeName(model.acousticModel);
    const QByteArray dict = QFile::encodeName(model.dictionary);
    const QByteArray searchFile = QFile::encodeName(useGrammar ? model.grammar : model.languageModel);
    const char* searchFlag = useGrammar ? "-jsgf" : "-lm";

    std::lock_guard lock(loadMutex());
    // The library's own dither is off: process() adds a reproducible one.
    cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE,
                                   "-hmm", hmm.constData(),
                                   "-dict", dict.constData(),
                                   searchFlag, searchFile.constData(),
                                   "-dither", "no",
                                   "-logfn", "/dev/null",
                                   static_cast<const char*>(nullptr));
    if (!config) {
        if (error)
            *error = QStringLiteral("recogniser configuration rejected");
        return nullptr;
    }
    ps_decoder_t* decoder = ps_init(config);
    cmd_ln_free_r(config);
    if (!decoder) {
        if (error)
            *error = QStringLiteral("recogniser model could not be loaded (%1)").arg(QString::fromLocal8Bit(searchFile));
        return nullptr;
    }
    return std::unique_ptr<PocketsphinxRecognizer>(new PocketsphinxRecognizer(decoder));
}

PocketsphinxRecognizer::PocketsphinxRecognizer(ps_decoder_s* decoder)
    : m_decoder(decoder)
    , m_dither(kDitherSeed)
{
    if (cmn_t* cmn = ps_get_feat(m_decoder)->cmn_struct) {
        static_assert(sizeof(mfcc_t) == sizeof(float), "float cepstra");
        m_initialMean.resize(std::size_t(cmn->veclen));
        cmn_live_get(cmn, m_initialMean.data());
    }
}

PocketsphinxRecognizer::~PocketsphinxRecognizer()
{
    if (m_inUtterance)
        ps_end_utt(m_decoder);
    ps_free(m_decoder);
}

void PocketsphinxRecognizer::startStream()
{
    if (m_inUtterance) {
        ps_end_utt(m_decoder);
        m_inUtterance = false;
    }
    // The live cepstral mean moves with every utterance: without this, a
    // decoder hears the same words differently after other speech.
    if (cmn_t* cmn = ps_get_feat(m_decoder)->cmn_struct; cmn && !m_initialMean.empty())
        cmn_live_set(cmn, m_initialMean.data());
    ps_start_stream(m_decoder);
    m_dither.seed(kDitherSeed);
}

void PocketsphinxRecognizer::startUtterance()
{
    if (m_inUtterance)
        ps_end_utt(m_decoder);
    ps_start_utt(m_decoder);
    m_inUtterance = true;
}

void PocketsphinxRecognizer::process(std::span<const std::int16_t> samples)
{
    if (!m_inUtterance)
        startUtterance();
    if (samples.empty())
        return;
    // Dither (a least significant bit in one sample of four): without it,
    // stretches of digital silence make the decoder far less accurate.
    m_dithered.assign(samples.begin(), samples.end());
    for (std::int16_t& sample : m_dithered) {
        if (m_dither() % 4 == 0 && sample < 32767)
            ++sample;
    }
    ps_process_raw(m_decoder, m_dithered.data(), m_dithered.size(), FALSE, FALSE);
}

bool PocketsphinxRecognizer::inSpeech() const
{
    return m_inUtterance && ps_get_in_speech(m_decoder) != 0;
}

QString PocketsphinxRecognizer::partialHypothesis() const
{
    if (!m_inUtterance)
        return {};
    std::int32_t score = 0;
    const char* hyp = ps_get_hyp(m_decoder, &score);
    return hyp ? QString::fromUtf8(hyp) : QString();
}

QString PocketsphinxRecognizer::endUtterance()
{
    if (!m_inUtterance)
        return {};
    ps_end_utt(m_decoder);
    m_inUtterance = false;
    std::int32_t score = 0;
    const char* hyp = ps_get_hyp(m_decoder, &score);
    return hyp ? QString::fromUtf8(hyp) : QString();
}

SpeechRecognizerFactory pocketsphinxRecognizerFactory(const RecognizerModel& model)
{
    return [model](QString* error) -> std::unique_ptr<SpeechRecognizer> {
        return PocketsphinxRecognizer::create(model, error);
    };
}

} // namespace velnor::server
