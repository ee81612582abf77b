#include "routes/AppRoutes.h"

#include "http/ApiRouter.h"
#include "http/Envelope.h"
#include "text/VersionComparator.h"

#include <QJsonObject>

namespace velnor::server {

namespace {

// The update answer always carries a complete "data" object (the client cannot
// read one without it), also alongside an error code.
QJsonObject updateData(bool needed, const QString& url, const QString& description, const QString& version)
{
    return QJsonObject{{QStringLiteral("is_need_update"), needed},
                       {QStringLiteral("focus_update"), false},
                       {QStringLiteral("update_url"), url},
                       {QStringLiteral("update_desc"), description},
                       {QStringLiteral("update_version"), version}};
}

} // namespace

AppRoutes::AppRoutes(ApiRouter& router, QHash<QString, LatestRelease> latest)
    : m_latest(std::move(latest))
{
    router.add(QHttpServerRequest::Method::Get, QStringLiteral("/app/check"),
               [this](const ApiRequest& r) { return check(r); });
}

ApiReply AppRoutes::check(const ApiRequest& request) const
{
    const QString current = request.query.queryItemValue(QStringLiteral("current_version"), QUrl::FullyDecoded);
    const QString platform =
        request.query.queryItemValue(QStringLiteral("platform"), QUrl::FullyDecoded).trimmed().toLower();
    if (!VersionComparator::parse(current))
        return Envelope::make(Envelope::BadRequest,
                              QStringLiteral("\"current_version\" must be a version such as 1.2.3"),
                              updateData(false, QString(), QString(), current));
    const auto found = m_latest.constFind(platform);
    if (found == m_latest.constEnd())
        return Envelope::success(updateData(false, QString(), QStringLiteral("No release is published for this platform."), current));
    const bool newer = VersionComparator::compare(found->version, current).value_or(0) > 0;
    const QString description = newer ? QStringLiteral("Velnor %1 is available.").arg(found->version)
                                      : QStringLiteral("You have the latest version.");
    return Envelope::success(updateData(newer, found->url, description, found->version));
}

} // namespace velnor::server
