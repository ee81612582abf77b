#include "routes/DictationRoutes.h"

#include "audio/AudioDecoder.h"
#include "hotwords/HotWordStore.h"
#include "http/ApiRouter.h"
#include "http/Envelope.h"
#include "http/MultipartParser.h"
#include "recognition/RecognitionScript.h"
#include "recognition/ContextFromRequest.h"
#include "recognition/RecordingLimits.h"
#include "records/RecognitionRecords.h"
#include "text/TextAdjuster.h"
#include "text/TranscriptRules.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QStringDecoder>
#include <QUuid>

namespace velnor::server {

namespace {

constexpr qsizetype kMaxFieldLength = 256;

QString field(const MultipartForm& form, const char* name)
{
    const MultipartPart* part = form.part(name);
    return part ? QString::fromUtf8(part->data).left(kMaxFieldLength) : QString();
}

// An optional string member; absent stays absent, anything but a string is an error.
bool optionalString(const QJsonObject& body, const char* key, std::optional<QString>* out, QString* error)
{
    const QJsonValue value = body.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString() || value.toString().size() > kMaxFieldLength) {
        *error = QStringLiteral("\"%1\" must be a string of at most %2 characters").arg(QLatin1String(key)).arg(kMaxFieldLength);
        return false;
    }
    *out = value.toString();
    return true;
}

} // namespace

DictationRoutes::DictationRoutes(ApiRouter& router, WorkPool& recognitionWork, FileRecognizer& recognizer,
                                 std::chrono::milliseconds recognitionTimeout, RecognitionScript& script,
                                 RecognitionRecords& records, HotWordStore& hotWords, const Authenticator& authenticator)
    : m_recognizer(recognizer)
    , m_recognitionTimeout(recognitionTimeout)
    , m_script(script)
    , m_records(records)
    , m_hotWords(hotWords)
    , m_authenticator(authenticator)
{
    using Method = QHttpServerRequest::Method;
    router.add(Method::Post, QStringLiteral("/qasr/recognize"), [this](const ApiRequest& r) { return recognize(r); },
               recognitionWork);
    router.add(Method::Post, QStringLiteral("/qasr/recognize/update"),
               [this](const ApiRequest& r) { return updateRecord(r); });
    router.add(Method::Post, QStringLiteral("/qasr/adjust"), [this](const ApiRequest& r) { return adjust(r); });
}

QList<HotWord> DictationRoutes::hotWordsOf(const Authenticator::Caller& caller)
{
    if (const std::optional<qint64> user = caller.user())
        return m_hotWords.list(*user).value_or(QList<HotWord>());
    return {};
}

QString DictationRoutes::corrected(const QString& text, const Authenticator::Caller& caller)
{
    return TextAdjuster(hotWordsOf(caller)).adjust(text);
}

ApiReply DictationRoutes::recognize(const ApiRequest& request)
{
    // Dictation works signed out, so an expired or unknown token counts as
    // no session: refusing it would lose the user's words.
    const Authenticator::Caller caller = m_authenticator.identify(request);

    QString error;
    const std::optional<MultipartForm> form = MultipartParser::parse(request.header("Content-Type"), request.body, &error);
    if (!form)
        return Envelope::failure(Envelope::BadRequest, QStringLiteral("malformed upload: %1").arg(error));
    const MultipartPart* file = form->part("file");
    if (!file || file->data.isEmpty())
        return Envelope::failure(Envelope::BadRequest, QStringLiteral("the upload has no \"file\" part with audio"));
    const QString overOverField = field(*form, "over_over").trimmed().toLower();
    const bool wantsOverOver = overOverField == QLatin1String("true") || overOverField == QLatin1String("1");

    QElapsedTimer timer;
    timer.start();
    qint64 audioMs = 0;
    QString heard;
    if (const std::optional<QString> scripted = m_script.takeNext()) {
        heard = *scripted;
    } else {
        const std::optional<std::vector<std::int16_t>> samples =
            AudioDecoder::decode(file->data, {kMaxUploadAudioSeconds}, &error);
        if (!samples)
            return Envelope::failure(Envelope::UnsupportedAudio, QStringLiteral("cannot decode the audio: %1").arg(error));
        audioMs = static_cast<qint64>(samples->size()) * 1000 / AudioDecoder::kSampleRate;
        RecognitionContext context{languageOfTag(field(*form, "out_language")), {}};
        for (const HotWord& word : hotWordsOf(caller))
            context.hotWords << word.text;
        const FileRecognition recognition =
            m_recognizer.recognize(*samples, context, std::chrono::steady_clock::now() + m_recognitionTimeout);
        if (!recognition.text) {
            qWarning("recognition by %s failed after %lld ms: %s", qPrintable(m_recognizer.name()),
                     static_cast<long long>(timer.elapsed()), qPrintable(recognition.error));
            return Envelope::failure(Envelope::Unavailable, QStringLiteral("the %1 recogniser is unavailable: %2")
                                                                .arg(m_recognizer.name(), recognition.error));
        }
        heard = *recognition.text;
        qInfo("recognised %lld ms of audio in %lld ms (%s)", static_cast<long long>(audioMs),
              static_cast<long long>(timer.elapsed()), qPrintable(m_recognizer.name()));
    }

    TranscriptRules::Ending ending{heard.simplified(), false};
    if (wantsOverOver)
        ending = TranscriptRules::stripOverOver(ending.text);
    RecognitionRecord record;
    record.kind = QStringLiteral("recognize");
    record.userId = caller.user();
    record.rawText = heard;
    record.text = corrected(ending.text, caller);
    record.appId = field(*form, "app_id");
    record.appName = field(*form, "app_name");
    record.osType = field(*form, "os_type");
    record.outLanguage = field(*form, "out_language");
    record.overOver = ending.overOver;
    record.audioMs = audioMs;
    const std::optional<QString> id = m_records.add(record, TranscriptRules::wordCount(record.text));
    if (!id)
        return Envelope::failure(Envelope::InternalError, QStringLiteral("the record could not be stored"));
    return Envelope::success(QJsonObject{{QStringLiteral("text"), record.text},
                                         {QStringLiteral("message"), QStringLiteral("ok")},
                                         {QStringLiteral("id"), *id},
                                         {QStringLiteral("over_over"), ending.overOver}});
}

ApiReply DictationRoutes::updateRecord(const ApiRequest& request)
{
    const Authenticator::Caller caller = m_authenticator.identify(request);
    QString error;
    const std::optional<QJsonObject> body = request.jsonObject(&error);
    if (!body)
        return Envelope::failure(Envelope::BadRequest, error);
    const QString id = body->value(QStringLiteral("id")).toString();
    if (id.isEmpty())
        return Envelope::failure(Envelope::BadRequest, QStringLiteral("\"id\" must be the record id of a dictation"));
    RecordUpdate update;
    if (!optionalString(*body, "text_input_method", &update.textInputMethod, &error)
        || !optionalString(*body, "app_id", &update.appId, &error)
        || !optionalString(*body, "app_name", &update.appName, &error)
        || !optionalString(*body, "os_type", &update.osType, &error))
        return Envelope::failure(Envelope::BadRequest, error);
    switch (m_records.update(id, caller.user(), update)) {
    case RecognitionRecords::Status::Ok:
        return Envelope::success(true);
    case RecognitionRecords::Status::NotFound:
        return Envelope::failure(Envelope::NotFound, QStringLiteral("no such record"));
    case RecognitionRecords::Status::StorageError:
        break;
    }
    return Envelope::failure(Envelope::InternalError, QStringLiteral("the record could not be stored"));
}

ApiReply DictationRoutes::adjust(const ApiRequest& request)
{
    const Authenticator::Caller caller = m_authenticator.identify(request);
    QString error;
    const std::optional<QJsonObject> body = request.jsonObject(&error);
    if (!body)
        return Envelope::failure(Envelope::BadRequest, error);
    const QJsonValue encoded = body->value(QStringLiteral("base64_text"));
    if (!encoded.isString())
        return Envelope::failure(Envelope::BadRequest, QStringLiteral("\"base64_text\" must be a string"));
    const auto bytes = QByteArray::fromBase64Encoding(encoded.toString().toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
    if (!bytes || encoded.toString().size() % 4 != 0)
        return Envelope::failure(Envelope::BadRequest, QStringLiteral("\"base64_text\" is not valid Base64"));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(*bytes);
    if (utf8.hasError())
        return Envelope::failure(Envelope::BadRequest, QStringLiteral("\"base64_text\" does not hold UTF-8 text"));
    if (text.size() > kMaxTextLength)
        return Envelope::failure(Envelope::PayloadTooLarge,
                                 QStringLiteral("the text is longer than %1 characters").arg(kMaxTextLength));
    std::optional<QString> appId, appName, osType, outLanguage;
    if (!optionalString(*body, "app_id", &appId, &error) || !optionalString(*body, "app_name", &appName, &error)
        || !optionalString(*body, "os_type", &osType, &error)
        || !optionalString(*body, "out_language", &outLanguage, &error))
        return Envelope::failure(Envelope::BadRequest, error);

    RecognitionRecord record;
    record.kind = QStringLiteral("adjust");
    record.userId = caller.user();
    record.rawText = text;
    record.text = corrected(text, caller);
    // Signed-out texts are corrected but not kept: anyone could fill the disk
    // with them, and no account would ever see them. Nothing updates them later.
    if (!record.userId)
        return Envelope::success(QJsonObject{{QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
                                             {QStringLiteral("text"), record.text},
                                             {QStringLiteral("message"), QStringLiteral("ok")}});
    record.appId = appId.value_or(QString());
    record.appName = appName.value_or(QString());
    record.osType = osType.value_or(QString());
    record.outLanguage = outLanguage.value_or(QString());
    const std::optional<QString> id = m_records.add(record, TranscriptRules::wordCount(record.text));
    if (!id)
        return Envelope::failure(Envelope::InternalError, QStringLiteral("the record could not be stored"));
    return Envelope::success(QJsonObject{{QStringLiteral("id"), *id},
                                         {QStringLiteral("text"), record.text},
                                         {QStringLiteral("message"), QStringLiteral("ok")}});
}

} // namespace velnor::server
