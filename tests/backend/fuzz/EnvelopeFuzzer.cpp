// libFuzzer target for the backend answer decoders: whatever bytes arrive,
// decoding and typed conversion must end in a value or an error, never a
// crash, a hang or a sanitizer report. Built by scripts/fuzz-backend.sh.
#include "backend/APIResponse.h"
#include "backend/AuthTypes.h"
#include "backend/HotwordTypes.h"
#include "backend/QASRCodecs.h"
#include "core/Clock.h"
#include "log/SecretRedactor.h"

#include <cstddef>
#include <cstdint>

namespace {

velnor::Logger& silentLogger()
{
    static velnor::ManualClock clock;
    static velnor::SecretRedactor redactor;
    static velnor::Logger logger(QString(), clock, velnor::silentSink(), redactor);
    return logger;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    velnor::Logger& log = silentLogger();
    if (auto envelope = velnor::APIResponse::decode(body)) {
        (void)envelope.value().result<velnor::User>(log);
        (void)envelope.value().result<velnor::LoginResponse>(log);
        (void)envelope.value().result<QList<velnor::Hotword>>(log);
        (void)envelope.value().result<velnor::AdjustTextResponse>(log);
        (void)envelope.value().result<velnor::RecognizeAudioFileResponse>(log);
        (void)envelope.value().typedData<bool>(log);
        if (envelope.value().data)
            (void)velnor::AnyDecodable::printed(envelope.value().data->value());
    } else {
        (void)envelope.error().printed();
        (void)velnor::APIErrorResponse::decode(body);
    }
    return 0;
}
