#pragma once

#include "http/HttpLimits.h"
#include "recognition/PocketsphinxRecognizer.h"

#include <QHash>
#include <QHostAddress>
#include <QString>

#include <optional>

class QCommandLineParser;

namespace velnor::server {

// The newest release offered to one platform by the update check.
struct LatestRelease {
    QString version;
    QString url;
};

// Everything velnor-server takes from its command line (the real-time
// endpoint reads its own options from the same parser).
struct ServerOptions {
    static constexpr quint16 kDefaultPort = 18470;
    static constexpr qint64 kDefaultMaxUploadBytes = 20 * 1024 * 1024;
    static constexpr int kDefaultRecognitionQueue = 8;

    QHostAddress host = QHostAddress::LocalHost;
    quint16 port = kDefaultPort;
    QString dataDir;
    bool testControls = false;
    QString tlsCertificate;
    QString tlsKey;
    RecognizerModel model = RecognizerModel::debianEnglish();
    QHash<QString, LatestRelease> latestReleases;   // by platform ("linux", "macos")
    qint64 maxUploadBytes = kDefaultMaxUploadBytes;
    int recognitionThreads = 0;   // file recognitions decoded at once; 0 = one per CPU core
    int recognitionQueue = kDefaultRecognitionQueue;   // uploads waiting for a thread; more are answered 503
    static constexpr int kDefaultRecognitionTimeoutSeconds = 30;
    int recognitionTimeoutSeconds = kDefaultRecognitionTimeoutSeconds;   // one file recognition, queueing included
    HttpLimits httpLimits;   // its maxBodyBytes is maxUploadBytes
    // Accounts and stored dictations.
    static constexpr int kDefaultRetentionDays = 30;
    int retentionDays = kDefaultRetentionDays;
    QString smsCommand;    // empty: codes go to the log
    bool devSms = false;   // also answer codes to loopback callers

    bool useTls() const { return !tlsCertificate.isEmpty(); }
    int recognitionThreadCount() const;

    static void addOptions(QCommandLineParser& parser);
    static void addAccountOptions(QCommandLineParser& parser);
    // None (with *error) when an option's value is unusable.
    static std::optional<ServerOptions> fromParser(const QCommandLineParser& parser, QString* error);

private:
    bool readAccountOptions(const QCommandLineParser& parser, QString* error);
};

} // namespace velnor::server
