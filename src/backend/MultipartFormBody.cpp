#include "backend/MultipartFormBody.h"

#include <QUuid>

namespace velnor {

MultipartFormBody::MultipartFormBody(QString boundary)
    : m_boundary(singleLine(boundary))
{
}

QString MultipartFormBody::newBoundary()
{
    return QStringLiteral("Boundary-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString MultipartFormBody::singleLine(const QString& value)
{
    QString result = value;
    result.remove(QLatin1Char('\r'));
    result.remove(QLatin1Char('\n'));
    return result;
}

namespace {
// A quoted header parameter: a double quote would end the quoting early.
QByteArray quotedParameter(const QString& value)
{
    QString cleaned = MultipartFormBody::singleLine(value);
    cleaned.remove(QLatin1Char('"'));
    return '"' + cleaned.toUtf8() + '"';
}
} // namespace

void MultipartFormBody::addText(const QString& name, const QString& value)
{
    m_body += "--" + m_boundary.toUtf8() + "\r\n";
    m_body += "Content-Disposition: form-data; name=" + quotedParameter(name) + "\r\n\r\n";
    m_body += singleLine(value).toUtf8() + "\r\n";
}

void MultipartFormBody::addFile(const QString& name, const QString& fileName, const QString& contentType,
                                const QByteArray& content)
{
    m_body += "--" + m_boundary.toUtf8() + "\r\n";
    m_body += "Content-Disposition: form-data; name=" + quotedParameter(name) + "; filename="
        + quotedParameter(fileName) + "\r\n";
    m_body += "Content-Type: " + singleLine(contentType).toUtf8() + "\r\n\r\n";
    m_body += content + "\r\n";
}

QByteArray MultipartFormBody::finish() const
{
    return m_body + "--" + m_boundary.toUtf8() + "--\r\n";
}

} // namespace velnor
