// The real-time endpoint's command line.
#include "realtime/RealtimeEndpoint.h"
#include "support/TempDir.h"

#include <QCommandLineParser>
#include <QHttpServer>

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

std::unique_ptr<RealtimeEndpoint> createWith(const QStringList& arguments, QString* error)
{
    static QHttpServer http; // routes accumulate; each test only checks creation
    // Options only: the environment fallbacks must not leak in from the caller.
    for (const char* variable : {"VELNOR_ASR_APP_ID", "VELNOR_ASR_SECRET_ID", "VELNOR_ASR_SECRET_KEY"})
        qunsetenv(variable);
    QCommandLineParser parser;
    RealtimeEndpoint::addOptions(parser);
    EXPECT_TRUE(parser.parse(QStringList{"velnor-server"} + arguments)) << parser.errorText().toStdString();
    return RealtimeEndpoint::create(parser, http, nullptr, false, error);
}

TEST(RealtimeServerOptionsTest, AccountValuesComeTogetherOrNotAtAllAndAKeyFileMustBeReadable)
{
    QString error;
    EXPECT_TRUE(createWith({}, &error)) << "without an account every connection is refused, but the server runs";
    EXPECT_FALSE(createWith({"--asr-app-id", "1300000042"}, &error));
    EXPECT_EQ(error, "the real-time AppID, SecretId and SecretKey must be given together");
    EXPECT_FALSE(createWith({"--asr-app-id", "a/b", "--asr-secret-id", "i", "--asr-secret-key", "k"}, &error));
    EXPECT_TRUE(createWith({"--asr-app-id", "1300000042", "--asr-secret-id", "i", "--asr-secret-key", "k"}, &error));
    // The key may come from a file, which must be readable.
    test::TempDir dir;
    EXPECT_FALSE(createWith({"--asr-app-id", "1", "--asr-secret-id", "i", "--asr-secret-key-file", dir.filePath("none")},
                            &error));
    EXPECT_TRUE(error.startsWith("cannot read --asr-secret-key-file"));
    const QString file = dir.writeFile("key", "k3y\n");
    EXPECT_TRUE(createWith({"--asr-app-id", "1", "--asr-secret-id", "i", "--asr-secret-key-file", file}, &error))
        << error.toStdString();
}

} // namespace
} // namespace velnor::server
