#pragma once

#include "support/EventLoopWait.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

#include <gtest/gtest.h>

namespace velnor::test {

// What the user had on the clipboard before dictating: text and a PNG image,
// owned by this (QGuiApplication) process.
class UserClipboard final {
public:
    void fill() const
    {
        auto* data = new QMimeData;
        data->setText(m_text);
        data->setData(QStringLiteral("image/png"), m_image);
        QGuiApplication::clipboard()->setMimeData(data);
    }

    // Whether both are back within `timeoutMs` (the app hands the clipboard back
    // once the target has read its paste); else what the clipboard holds.
    ::testing::AssertionResult waitUntilBack(int timeoutMs = 10000) const
    {
        const bool back = waitUntil(
            [this] {
                const QMimeData* data = QGuiApplication::clipboard()->mimeData();
                return data && data->text() == m_text && data->data(QStringLiteral("image/png")) == m_image;
            },
            timeoutMs);
        return back ? ::testing::AssertionSuccess()
                    : ::testing::AssertionFailure() << "clipboard now: " << QGuiApplication::clipboard()->text().toStdString();
    }

private:
    const QString m_text = QStringLiteral("the user's own text");
    const QByteArray m_image = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray("user image bytes \x00\x01\x02", 20);
};

} // namespace velnor::test
