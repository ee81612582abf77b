#pragma once

#include "ui/common/Dialogs.h"

#include <QStringList>

namespace velnor::test {

// Records alerts; confirmations are kept so the test can accept them.
class RecordingDialogs final : public Dialogs {
public:
    void alert(QWidget*, const QString& title, const QString& text) override { alerts.append(title + QStringLiteral(": ") + text); }
    void confirm(QWidget*, const QString& title, const QString&, const QString&, const QString&,
                 std::function<void()> onAccept) override
    {
        confirmTitles.append(title);
        pendingAccept = std::move(onAccept);
    }
    void accept()
    {
        auto accept = std::exchange(pendingAccept, nullptr);
        if (accept)
            accept();
    }

    QStringList alerts;
    QStringList confirmTitles;
    std::function<void()> pendingAccept;
};

} // namespace velnor::test
