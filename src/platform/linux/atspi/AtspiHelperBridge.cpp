#include "platform/linux/atspi/AtspiHelperBridge.h"

#include "platform/linux/atspi/AtspiHelperProtocol.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <algorithm>

namespace velnor::atspi {

// One running helper. A call that fails to answer in time ends the helper
// (it may be stuck on a target that no longer answers); a line that is not
// the answer to the question just asked is skipped.
class HelperConnection final {
public:
    HelperConnection(const QString& path, AtspiHelperBridge::Diagnostics report)
        : m_report(std::move(report))
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(path, {});
        m_alive = m_process.waitForStarted(5000);
        if (!m_alive && m_report)
            m_report(QStringLiteral("The AT-SPI helper %1 could not start (%2): text goes through the clipboard")
                         .arg(path, m_process.errorString()));
    }

    ~HelperConnection()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(1000)) {
            m_process.kill();
            m_process.waitForFinished(1000);
        }
    }

    bool isAlive() const { return m_alive; }

    std::optional<QJsonObject> call(QJsonObject request)
    {
        if (!m_alive)
            return std::nullopt;
        const int seq = ++m_lastSeq;
        request.insert(QStringLiteral("seq"), seq);
        m_process.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
        // Each call the helper makes is bounded by the messaging timeout; a
        // write makes several.
        const QDeadlineTimer deadline(int(m_timeout.count()) * 2 + 1000);
        for (;;) {
            while (!m_process.canReadLine()) {
                if (!m_process.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 0)))) {
                    end(QStringLiteral("The AT-SPI helper did not answer in time; it is restarted for the next insertion"));
                    return std::nullopt;
                }
            }
            const QJsonDocument answer = QJsonDocument::fromJson(m_process.readLine());
            if (answer.isObject() && answer.object().value(QStringLiteral("seq")).toInt() == seq)
                return answer.object();
        }
    }

    void setTimeout(Duration timeout) { m_timeout = timeout; }

private:
    void end(const QString& why)
    {
        m_alive = false;
        m_process.kill();
        m_process.waitForFinished(1000);
        if (m_report)
            m_report(why);
    }

    QProcess m_process;
    const AtspiHelperBridge::Diagnostics m_report;
    bool m_alive = false;
    int m_lastSeq = 0;
    Duration m_timeout = seconds(5.0);
};

namespace {

QJsonObject request(const QString& name, int id)
{
    return {{QStringLiteral("op"), name}, {QStringLiteral("id"), id}};
}

class HelperElement final : public AccessibleElement {
public:
    HelperElement(std::shared_ptr<HelperConnection> connection, int id)
        : m_connection(std::move(connection))
        , m_id(id)
    {
    }
    ~HelperElement() override { m_connection->call(request(op::Release, m_id)); }

    int id() const { return m_id; }
    const std::shared_ptr<HelperConnection>& connection() const { return m_connection; }

    std::optional<QString> role() override { return text(op::Role); }
    std::optional<QString> title() override { return text(op::Title); }
    std::optional<QString> value() override { return text(op::Value); }
    std::optional<QString> selectedText() override { return text(op::SelectedText); }

    std::optional<int> characterCount() override
    {
        const auto answer = okAnswer(request(op::CharacterCount, m_id));
        return answer ? std::optional<int>(answer->value(QStringLiteral("value")).toInt()) : std::nullopt;
    }

    // The helper refuses to write protected fields whatever this says.
    bool isProtectedText() override
    {
        const auto answer = okAnswer(request(op::Protected, m_id));
        return answer && answer->value(QStringLiteral("value")).toBool();
    }

    QStringList attributeNames() override
    {
        QStringList names;
        if (const auto answer = okAnswer(request(op::AttributeNames, m_id))) {
            for (const auto& name : answer->value(QStringLiteral("values")).toArray())
                names << name.toString();
        }
        return names;
    }

    std::optional<bool> isFocused() override
    {
        const auto answer = okAnswer(request(op::Focus, m_id));
        return answer ? std::optional<bool>(answer->value(QStringLiteral("value")).toBool()) : std::nullopt;
    }

    std::optional<std::vector<std::shared_ptr<AccessibleElement>>> children() override
    {
        const auto answer = okAnswer(request(op::Children, m_id));
        if (!answer)
            return std::nullopt;
        std::vector<std::shared_ptr<AccessibleElement>> list;
        for (const auto& id : answer->value(QStringLiteral("ids")).toArray())
            list.push_back(std::make_shared<HelperElement>(m_connection, id.toInt()));
        return list;
    }

    WriteResult setSelectedText(const QString& inserted) override { return write(op::SetSelectedText, inserted); }
    WriteResult setValue(const QString& newText) override { return write(op::SetValue, newText); }

private:
    std::optional<QJsonObject> okAnswer(const QJsonObject& question)
    {
        auto answer = m_connection->call(question);
        if (!answer || !answer->value(QStringLiteral("ok")).toBool())
            return std::nullopt;
        return answer;
    }

    std::optional<QString> text(const QString& name)
    {
        const auto answer = okAnswer(request(name, m_id));
        return answer ? std::optional<QString>(answer->value(QStringLiteral("value")).toString()) : std::nullopt;
    }

    // No answer: the helper may have written before it stopped answering.
    WriteResult write(const QString& name, const QString& text)
    {
        if (!m_connection->isAlive())
            return WriteResult::NotWritten; // never asked
        QJsonObject question = request(name, m_id);
        question.insert(QStringLiteral("text"), text);
        const auto answer = m_connection->call(question);
        if (!answer)
            return WriteResult::Unknown;
        if (!answer->value(QStringLiteral("ok")).toBool())
            return WriteResult::NotWritten;
        return writeResultFromName(answer->value(QStringLiteral("result")).toString());
    }

    const std::shared_ptr<HelperConnection> m_connection;
    const int m_id;
};

} // namespace

AtspiHelperBridge::AtspiHelperBridge(QString helperPath, Diagnostics report)
    : m_helperPath(std::move(helperPath))
    , m_report(std::move(report))
{
}

AtspiHelperBridge::~AtspiHelperBridge() = default;

QString AtspiHelperBridge::defaultHelperPath()
{
    return findHelper(QCoreApplication::applicationDirPath(), QStringLiteral(VELNOR_ATSPI_HELPER_BUILD_PATH));
}

QString AtspiHelperBridge::findHelper(const QString& programDir, const QString& buildPath)
{
    // The package puts the app in /usr/bin and the helper in
    // /usr/libexec/velnor; a build tree has it where the build made it.
    for (const QString& candidate : {QDir(programDir).filePath(kHelperName),
                                     QDir(programDir).filePath(QStringLiteral("../libexec/velnor/") + kHelperName)}) {
        if (QFileInfo(candidate).isExecutable())
            return QDir::cleanPath(candidate);
    }
    return buildPath;
}

std::shared_ptr<HelperConnection> AtspiHelperBridge::connection()
{
    if (!m_connection || !m_connection->isAlive()) {
        // One report of a helper that cannot start, not one per insertion.
        m_connection = std::make_shared<HelperConnection>(m_helperPath, m_startFailed ? Diagnostics() : m_report);
        m_startFailed = !m_connection->isAlive();
    }
    return m_connection;
}

bool AtspiHelperBridge::isAvailable()
{
    const auto answer = connection()->call({{QStringLiteral("op"), op::Available}});
    return answer && answer->value(QStringLiteral("ok")).toBool();
}

std::shared_ptr<AccessibleElement> AtspiHelperBridge::applicationElement(qint32 processId, Duration messagingTimeout,
                                                                         Duration searchBudget)
{
    const auto helper = connection();
    helper->setTimeout(messagingTimeout);
    const auto answer = helper->call({{QStringLiteral("op"), op::Application},
                                      {QStringLiteral("pid"), processId},
                                      {QStringLiteral("timeoutMs"), qint64(messagingTimeout.count())},
                                      {QStringLiteral("budgetMs"), qint64(searchBudget.count())}});
    if (!answer || !answer->value(QStringLiteral("ok")).toBool())
        return nullptr;
    return std::make_shared<HelperElement>(helper, answer->value(QStringLiteral("id")).toInt());
}

FocusedElementResult AtspiHelperBridge::focusedElement(AccessibleElement& application)
{
    auto* element = dynamic_cast<HelperElement*>(&application);
    if (!element)
        return {nullptr, AccessibilityError::InvalidElement};
    const auto answer = element->connection()->call(request(op::Focused, element->id()));
    if (!answer)
        return {nullptr, AccessibilityError::CannotComplete};
    if (!answer->value(QStringLiteral("ok")).toBool())
        return {nullptr, AccessibilityError(answer->value(QStringLiteral("error")).toInt(int(AccessibilityError::Failure)))};
    return {std::make_shared<HelperElement>(element->connection(), answer->value(QStringLiteral("id")).toInt()),
            AccessibilityError::None};
}

} // namespace velnor::atspi
