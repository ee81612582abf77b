// File recognition through a real velnor-server: real speech in an .m4a upload.
#include "ApiFixture.h"
#include "support/EventLoopWait.h"
#include "support/SpeechFixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTcpServer>

namespace velnor::server {
namespace {

using test::HttpResult;

const QStringList kSentences{QStringLiteral("please open the window"),
                             QStringLiteral("send the report tomorrow morning over over"),
                             QStringLiteral("the meeting starts at nine")};

// The server recognises with a grammar of the spoken sentences, so exact words can be asserted.
class ServerRecognition : public test::ServerApi {
protected:
    ServerRecognition() { args << QStringLiteral("--grammar") << speech.grammar(kSentences); }

    velnor::test::TempDir workDir;
    test::SpeechFixtures speech{workDir.path()};
};

// Several uploads in flight at once on separate connections, each with real
// speech; an ending of "over over" stays when the upload does not ask to cut it.
// Then uploads that would make a media library read other files or open
// connections: each names a real target (a speech file next to the server, a
// loopback listener) and must be refused without reaching it.
TEST_F(ServerRecognition, ConcurrentUploadsAreAnsweredRightAndUploadsNamingOtherFilesOrAddressesRefused)
{
    const QString token = signIn();
    const QByteArray first = speech.m4a(kSentences[0], 0.5);
    const QByteArray second = speech.m4a(kSentences[1]);
    ASSERT_FALSE(first.isEmpty() || second.isEmpty()) << speech.error().toStdString();

    QList<QNetworkReply*> replies;
    QNetworkAccessManager network;
    for (int i = 0; i < 6; ++i)
        replies << startUpload(network, i % 2 ? second : first, token);
    for (int i = 0; i < replies.size(); ++i) {
        const QJsonObject envelope = QJsonDocument::fromJson(test::waitForReply(replies[i])).object();
        EXPECT_EQ(envelope.value("code").toInt(-1), 0);
        EXPECT_EQ(envelope.value("data").toObject().value("text").toString(), kSentences[i % 2]) << i;
    }
    EXPECT_EQ(http.get(url("/auth/mev2"), token).data().toObject().value("generate_words_total").toInteger(), 3 * 4 + 3 * 7);

    // The server runs in this process's working directory, where a relative name would lead.
    const QString target = QStringLiteral("velnor-hostile-%1.wav").arg(QCoreApplication::applicationPid());
    ASSERT_TRUE(QFile::copy(speech.wav(kSentences[0]), QDir::current().filePath(target)));
    const auto removeTarget = qScopeGuard([&] { QFile::remove(QDir::current().filePath(target)); });
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&listener, &QTcpServer::newConnection, [&] { ++connections; });
    const QByteArray port = QByteArray::number(listener.serverPort());
    const QByteArray base = "http://127.0.0.1:" + port + "/";

    const QList<QPair<const char*, QByteArray>> attacks{
        {"concat", "ffconcat version 1.0\nfile " + target.toUtf8() + "\n"},
        {"hls", "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n" + base + "segment.ts\n#EXT-X-ENDLIST\n"},
        {"dash", "<?xml version=\"1.0\"?><MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" "
                 "profiles=\"urn:mpeg:dash:profile:isoff-on-demand:2011\" mediaPresentationDuration=\"PT10S\" "
                 "minBufferTime=\"PT1S\"><BaseURL>" + base + "</BaseURL><Period><AdaptationSet mimeType=\"audio/mp4\">"
                 "<Representation id=\"a\" bandwidth=\"64000\" codecs=\"mp4a.40.2\"><BaseURL>a.m4a</BaseURL>"
                 "<SegmentBase indexRange=\"0-100\"/></Representation></AdaptationSet></Period></MPD>"},
        {"sdp", "v=0\no=- 0 0 IN IP4 127.0.0.1\ns=x\nc=IN IP4 127.0.0.1\nt=0 0\nm=audio " + port + " RTP/AVP 0\n"},
    };
    for (const auto& [kind, file] : attacks) {
        SCOPED_TRACE(kind);
        const HttpResult result = upload(file, {{"file_type", "m4a"}}, {}, 20000);
        EXPECT_EQ(result.code(), 415) << result.body.toStdString();
        EXPECT_FALSE(result.msg().contains(target)) << "error texts do not tell which files exist";
    }
    velnor::test::runEventLoopFor(200);
    EXPECT_EQ(connections, 0) << "no upload made the server connect anywhere";

    // Nor is audio longer than the longest recording decoded.
    const HttpResult twoMinutes = upload(speech.m4a(kSentences[2], 0.0, 120.0), {{"file_type", "m4a"}});
    EXPECT_EQ(twoMinutes.code(), 415) << twoMinutes.body.toStdString() << speech.error().toStdString();
    EXPECT_TRUE(twoMinutes.msg().contains("too long")) << twoMinutes.msg().toStdString();
}

} // namespace
} // namespace velnor::server
