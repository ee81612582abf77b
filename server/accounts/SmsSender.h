#pragma once

#include <QString>

namespace velnor::server {

// "13912345678" -> "139****5678": enough to tell users apart in a log, not
// enough to text them. Anything else keeps only its length.
QString maskedPhone(const QString& phone);

// Delivers a login code to a phone.
class SmsSender {
public:
    SmsSender() = default;
    virtual ~SmsSender() = default;
    SmsSender(const SmsSender&) = delete;
    SmsSender& operator=(const SmsSender&) = delete;

    // False (with *error, which never holds the code) when the code did not go out.
    virtual bool send(const QString& phone, const QString& code, QString* error) = 0;
};

// Development delivery: the code goes to the server's log (stderr) as
// "SMS code for 139****5678: 1234". Nothing reaches the phone.
class LogSmsSender final : public SmsSender {
public:
    bool send(const QString& phone, const QString& code, QString* error) override;
};

// An operator's gateway program, run without a shell as `PROGRAM PHONE` with
// the code and a newline on its standard input (command lines are visible to
// every local user, standard input is not). Exit status 0 within the timeout
// means sent.
class CommandSmsSender final : public SmsSender {
public:
    static constexpr int kDefaultTimeoutMs = 8000;   // the app gives up after 10 s

    explicit CommandSmsSender(QString program, int timeoutMs = kDefaultTimeoutMs);

    bool send(const QString& phone, const QString& code, QString* error) override;

private:
    QString m_program;
    int m_timeoutMs;
};

} // namespace velnor::server
