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
    static QString field(const MultipartForm& form, const char* name)
    {
        const MultipartPart* part = form.part(name);
        return part ? QString::fromUtf8(part->data) : QString();
    }

    void answer(const QHttpServerRequest& request, QHttpServerResponder&& responder)
    {
        Request seen;
        seen.authorised = request.value("authorization") == "Bearer " + key;
        QString error;
        if (const std::optional<MultipartForm> form = MultipartParser::parse(request.value("content-type"),
                                                                           request.body(), &error)) {
            seen.model = field(*form, "model");
            seen.language = field(*form, "language");
            seen.prompt = field(*form, "prompt");
            if (const MultipartPart* file = form->part("file")) {
                seen.fileName = QString::fromUtf8(file->fileName);
                seen.wavBytes = file->data.size();
            }
        }
        requests.push_back(seen);
        if (hang) {
            m_held.push_back(std::move(responder)); // never answered
            return;
        }
        if (!seen.authorised) {
            responder.write(QJsonDocument(QJsonObject{{QStringLiteral("error"),
                                                       QJsonObject{{QStringLiteral("message"),
                                                                    QStringLiteral("Incorrect API key provided")}}}}),
                            QHttpServerResponder::StatusCode::Unauthorized);
            return;
        }
        responder.write(QJsonDocument(QJsonObject{{QStringLiteral("text"), text}}));
    }

    QHttpServer m_http;
    quint16 m_port = 0;
    std::vector<QHttpServerResponder> m_held;
};

} // namespace velnor::server::test
