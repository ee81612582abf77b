#pragma once

#include <QByteArray>
#include <QString>

namespace velnor {

// A multipart/form-data body built byte by byte: text parts, then one file
// part, then the closing line. Every line ends in CR LF.
class MultipartFormBody final {
public:
    explicit MultipartFormBody(QString boundary);

    // "Boundary-" + a fresh upper-case UUID.
    static QString newBoundary();
    // Removes CR and LF, so a value can never end its line early and start a
    // header or a part of its own.
    static QString singleLine(const QString& value);

    void addText(const QString& name, const QString& value);
    void addFile(const QString& name, const QString& fileName, const QString& contentType, const QByteArray& content);
    // The body with its closing line.
    QByteArray finish() const;

    const QString& boundary() const { return m_boundary; }

private:
    QString m_boundary;
    QByteArray m_body;
};

} // namespace velnor
