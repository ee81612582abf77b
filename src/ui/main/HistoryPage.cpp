#include "ui/main/HistoryPage.h"

#include "ui/common/Card.h"
#include "ui/common/Dialogs.h"
#include "ui/main/PageLayout.h"
#include "ui/main/PageParts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>

namespace velnor {

namespace {

// Outcome colours: text on a pale fill of the same hue.
QLabel* badge(HistoryOutcome outcome)
{
    QColor colour(0x3b, 0x6f, 0xe0);
    if (outcome == HistoryOutcome::Delivered)
        colour = QColor(0x1f, 0x9d, 0x55);
    else if (outcome == HistoryOutcome::Failed)
        colour = QColor(0xd0, 0x02, 0x1b);
    else if (outcome == HistoryOutcome::Cancelled)
        colour = QColor(0x6b, 0x77, 0x85);
    auto* label = new QLabel(HistoryPageModel::outcomeLabel(outcome));
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; background: rgba(%2, %3, %4, 28); border-radius: 8px;"
                                        " padding: 1px 8px; font-size: 12px; }")
                             .arg(colour.name())
                             .arg(colour.red())
                             .arg(colour.green())
                             .arg(colour.blue()));
    return label;
}

QPushButton* action(const QString& text)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QStringLiteral("link"));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

HistoryPage::HistoryPage(HistoryPageModel::Dependencies dependencies, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent)
    , m_model(std::move(dependencies))
    , m_dialogs(dialogs)
    , m_search(new QLineEdit)
    , m_clear(new QPushButton(QStringLiteral("清空")))
    , m_notice(PageParts::caption(QString()))
    , m_offCard(new Card(Icons::Glyph::Info, QStringLiteral("听写历史已关闭"), QColor(0xe0, 0x8a, 0x00)))
    , m_listCard(new Card(Icons::Glyph::Clock, QString()))
    , m_listOrEmpty(new QStackedWidget)
    , m_emptyTitle(new QLabel)
    , m_rows(new QVBoxLayout)
{
    setObjectName(QStringLiteral("historyPage"));
    PageLayout page(this, QStringLiteral("历史"));
    m_search->setObjectName(QStringLiteral("historySearch"));
    m_search->setPlaceholderText(QStringLiteral("搜索文字或应用"));
    m_search->setClearButtonEnabled(true);
    m_search->setFixedWidth(240);
    connect(m_search, &QLineEdit::textChanged, &m_model, &HistoryPageModel::setSearch);
    m_clear->setObjectName(QStringLiteral("danger"));
    connect(m_clear, &QPushButton::clicked, this, &HistoryPage::confirmClear);
    page.header()->addWidget(m_search);
    page.header()->addWidget(m_clear);

    m_offCard->body()->addWidget(
        PageParts::caption(QStringLiteral("新的听写不会被记录。可在“设置 › 听写历史”中打开“保存听写历史”。")));
    page.add(m_offCard);

    m_notice->setWordWrap(true);
    m_notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    page.add(m_notice);

    auto* listWidget = new QWidget;
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(0);
    listWidget->setLayout(m_rows);
    m_listOrEmpty->addWidget(listWidget);
    m_listOrEmpty->addWidget(
        PageParts::emptyState(Icons::Glyph::Clock, m_emptyTitle, QStringLiteral("按住快捷键说话，松开后文字会出现在这里")));
    m_listCard->body()->addWidget(m_listOrEmpty);
    page.add(m_listCard);
    page.finish();

    connect(&m_model, &HistoryPageModel::entriesChanged, this, &HistoryPage::renderEntries);
    connect(&m_model, &HistoryPageModel::noticeChanged, this, &HistoryPage::renderNotice);
    renderEntries();
    renderNotice();
}

void HistoryPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_model.setShown(true);
    // The setting may have changed while the screen was away.
    m_offCard->setVisible(!m_model.isHistoryEnabled());
}

void HistoryPage::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_model.setShown(false);
}

void HistoryPage::renderNotice()
{
    m_notice->setText(m_model.notice());
    m_notice->setVisible(!m_model.notice().isEmpty());
}

void HistoryPage::renderEntries()
{
    const QList<HistoryEntry>& entries = m_model.entries();
    m_offCard->setVisible(!m_model.isHistoryEnabled());
    m_clear->setEnabled(!entries.isEmpty() || !m_model.search().isEmpty());
    // Only the newest are listed; older ones are found by searching.
    const bool cut = entries.size() >= HistoryPageModel::kShownEntries;
    m_listCard->setTitle(cut ? QStringLiteral("听写记录 (最近 %1 条，更早的可搜索)").arg(entries.size())
                             : QStringLiteral("听写记录 (%1)").arg(entries.size()));
    PageParts::clearRows(m_rows);
    for (const HistoryEntry& entry : entries)
        m_rows->addWidget(row(entry));
    m_emptyTitle->setText(m_model.search().trimmed().isEmpty() ? QStringLiteral("暂无听写记录")
                                                               : QStringLiteral("没有匹配的听写"));
    m_listOrEmpty->setCurrentIndex(entries.isEmpty() ? 1 : 0);
}

QWidget* HistoryPage::row(const HistoryEntry& entry)
{
    auto* result = new QWidget;
    result->setObjectName(QStringLiteral("historyRow"));
    result->setAttribute(Qt::WA_StyledBackground);
    result->setStyleSheet(QStringLiteral("QWidget#historyRow { border-bottom: 1px solid #edf0f5; }"));
    auto* layout = new QVBoxLayout(result);
    layout->setContentsMargins(4, 8, 4, 8);
    layout->setSpacing(4);

    auto* top = new QHBoxLayout;
    QStringList facts{m_model.timeLabel(entry)};
    if (!entry.appName.isEmpty())
        facts << entry.appName;
    facts << HistoryPageModel::modeLabel(entry.mode);
    top->addWidget(PageParts::caption(facts.join(QStringLiteral("  ·  "))), 1);
    top->addWidget(badge(entry.outcome));
    layout->addLayout(top);

    const QString text = entry.deliveredText();
    if (!text.isEmpty()) {
        auto* body = new QLabel(text);
        body->setWordWrap(true);
        body->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(body);
    }
    if (entry.outcome == HistoryOutcome::Failed) {
        QString why = entry.errorText.isEmpty() ? QStringLiteral("识别失败") : entry.errorText;
        if (HistoryPageModel::canRetry(entry))
            why += QStringLiteral("（录音已保留，可重试）");
        auto* error = new QLabel(why);
        error->setObjectName(QStringLiteral("error"));
        error->setWordWrap(true);
        layout->addWidget(error);
    }

    auto* actions = new QHBoxLayout;
    actions->setSpacing(14);
    actions->addStretch(1);
    const QString id = entry.id;
    if (!text.isEmpty()) {
        QPushButton* copy = action(QStringLiteral("复制"));
        connect(copy, &QPushButton::clicked, this, [this, id] { m_model.copy(id); });
        QPushButton* reinsert = action(QStringLiteral("重新输入"));
        reinsert->setToolTip(QStringLiteral("隐藏窗口，把文字输入到之前使用的应用"));
        connect(reinsert, &QPushButton::clicked, this, [this, id] { m_model.reinsert(id); });
        actions->addWidget(copy);
        actions->addWidget(reinsert);
    }
    if (HistoryPageModel::canRetry(entry)) {
        const bool busy = m_model.isRetrying(id);
        QPushButton* retry = action(busy ? QStringLiteral("重试中…") : QStringLiteral("重试"));
        retry->setEnabled(!busy);
        connect(retry, &QPushButton::clicked, this, [this, id] { m_model.retry(id); });
        actions->addWidget(retry);
    }
    QPushButton* remove = action(QStringLiteral("删除"));
    remove->setStyleSheet(QStringLiteral("color: #d0021b;"));
    connect(remove, &QPushButton::clicked, this, [this, id] { m_model.remove(id); });
    actions->addWidget(remove);
    layout->addLayout(actions);
    return result;
}

void HistoryPage::confirmClear()
{
    QPointer<HistoryPage> self(this);
    m_dialogs.confirm(this, QStringLiteral("清空历史"), QStringLiteral("确定要清空全部听写历史吗？此操作无法撤销。"),
                      QStringLiteral("取消"), QStringLiteral("清空"), [self] {
                          if (self)
                              self->m_model.clearAll();
                      });
}

} // namespace velnor
