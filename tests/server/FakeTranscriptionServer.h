#pragma once

#include "http/MultipartParser.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonObject>
#include <QUrl>

#include <vector>

namespace velnor::server::test {

// An OpenAI-compatible transcription server on 127.0.0.1, in the test's own
// process (it answers while the test's event loop runs): it refuses a wrong
// Bearer key like the hosted services do, answers `text`, or never answers.
class FakeTranscriptionServer {
public:
    // What one request carried.
    struct Request {
        QString model, language, prompt, fileName;
        qint64 wavBytes = 0;
        bool authorised = false;
    };

    FakeTranscriptionServer()
    {
        m_http.route(QStringLiteral("/v1/audio/transcriptions"), QHttpServerRequest::Method::Post,
                     [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                         answer(request, std::move(responder));
                     });
        m_port = m_http.listen(QHostAddress::LocalHost);
    }

    QUrl baseUrl() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/v1").arg(m_port)); }

    QByteArray key = "sk-fake-transcription-key-0123456789";
    QString text = QStringLiteral("scripted transcription");
    bool hang = false;
    std::vector<Request> requests;

private:
    void answer(const QHttpServerRequest& request, QHttpServerResponder&& responder)
    {
        Request& seen = requests.emplace_back();
        seen.authorised = request.value("authorization") == "Bearer " + key;
        const std::optional<MultipartForm> form =
            MultipartParser::parse(request.value("content-type"), request.body(), nullptr);
        const auto field = [&](const char* name) {
            const MultipartPart* part = form ? form->part(name) : nullptr;
            return part ? QString::fromUtf8(part->data) : QString();
        };
        seen.model = field("model");
        seen.language = field("language");
        seen.prompt = field("prompt");
        if (const MultipartPart* file = form ? form->part("file") : nullptr) {
            seen.fileName = QString::fromUtf8(file->fileName);
            seen.wavBytes = file->data.size();
        }
        if (hang)
            m_held.push_back(std::move(responder)); // never answered
        else if (!seen.authorised)
            responder.write(R"({"error":{"message":"Incorrect API key provided"}})", "application/json",
                            QHttpServerResponder::StatusCode::Unauthorized);
        else
            responder.write(QJsonDocument(QJsonObject{{QStringLiteral("text"), text}}));
    }

    QHttpServer m_http;
    quint16 m_port = 0;
    std::vector<QHttpServerResponder> m_held;
};

} // namespace velnor::server::test
