#include "ui/main/HotWordsPage.h"

#include "backend/HotWordManager.h"
#include "core/Graphemes.h"
#include "log/Logger.h"
#include "ui/common/Card.h"
#include "ui/common/Dialogs.h"
#include "ui/main/MainWindowServices.h"
#include "ui/main/PageLayout.h"
#include "ui/main/PageParts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>

#include <cmath>

namespace velnor {

namespace {

QSpinBox* weightBox(int value)
{
    auto* box = new QSpinBox;
    box->setRange(static_cast<int>(HotWordManager::kMinWeight), static_cast<int>(HotWordManager::kMaxWeight));
    box->setValue(value);
    return box;
}

} // namespace

QString HotWordsPage::cutToLimit(const QString& text)
{
    if (graphemeCount(text) <= kMaxHotWordLength)
        return text;
    return firstGraphemes(text, kMaxHotWordLength);
}

HotWordsPage::HotWordsPage(MainWindowServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_text(new QLineEdit)
    , m_weight(weightBox(kDefaultWeight))
    , m_add(new QPushButton(Icons::icon(Icons::Glyph::Plus, QColor(Qt::white)), QStringLiteral("添加")))
    , m_listCard(new Card(Icons::Glyph::TextBubble, QString()))
    , m_editToggle(new QPushButton(QStringLiteral("编辑")))
    , m_listOrEmpty(new QStackedWidget)
    , m_rows(new QVBoxLayout)
{
    setObjectName(QStringLiteral("hotWordsPage"));
    PageLayout page(this, QStringLiteral("热词"));

    auto* addCard = new Card(Icons::Glyph::Plus, QStringLiteral("添加热词"));
    m_text->setObjectName(QStringLiteral("hotWordInput"));
    m_text->setPlaceholderText(QStringLiteral("请输入热词"));
    connect(m_text, &QLineEdit::textChanged, this, [this](const QString& text) {
        const QString cut = cutToLimit(text);
        if (cut != text)
            m_text->setText(cut);
    });
    connect(m_text, &QLineEdit::returnPressed, this, &HotWordsPage::add);
    m_add->setObjectName(QStringLiteral("primary"));
    connect(m_add, &QPushButton::clicked, this, &HotWordsPage::add);
    auto* inputRow = new QHBoxLayout;
    inputRow->addWidget(m_text, 1);
    inputRow->addWidget(new QLabel(QStringLiteral("权重:")));
    inputRow->addWidget(m_weight);
    inputRow->addWidget(m_add);
    addCard->body()->addLayout(inputRow);
    auto* hints = new QHBoxLayout;
    hints->addWidget(PageParts::caption(QStringLiteral("最长 10 个汉字")));
    hints->addWidget(PageParts::caption(QStringLiteral("约 4 小时生效")));
    hints->addStretch(1);
    addCard->body()->addLayout(hints);
    page.add(addCard);

    m_editToggle->setCheckable(true);
    connect(m_editToggle, &QPushButton::toggled, this, &HotWordsPage::setEditing);
    auto* listWidget = new QWidget;
    m_rows->setContentsMargins(0, 0, 0, 0);
    listWidget->setLayout(m_rows);
    m_listOrEmpty->addWidget(listWidget);
    m_listOrEmpty->addWidget(PageParts::emptyState(Icons::Glyph::TextBubble, new QLabel(QStringLiteral("暂无热词，请添加")),
                                                   QStringLiteral("添加热词可以提高语音识别的准确率")));
    auto* listHeader = new QHBoxLayout;
    listHeader->addStretch(1);
    listHeader->addWidget(m_editToggle);
    m_listCard->body()->addLayout(listHeader);
    m_listCard->body()->addWidget(m_listOrEmpty);
    page.add(m_listCard);
    page.finish();

    connect(this, &HotWordsPage::deleteHotWord, this, &HotWordsPage::handleDelete, Qt::QueuedConnection);
    connect(&m_services.hotWords, &HotWordManager::hotWordsChanged, this, &HotWordsPage::rebuildList);
    rebuildList();
}

void HotWordsPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_services.hotWords.getHotwordList();
}

void HotWordsPage::add()
{
    const QString text = m_text->text().trimmed();
    if (text.isEmpty())
        return;
    QPointer<HotWordsPage> self(this);
    m_services.hotWords.addHotword(text, m_weight->value(), [self](Result<std::monostate, ServiceError> result) {
        if (!self)
            return;
        if (!result) {
            self->m_services.dialogs.alert(self, QStringLiteral("添加热词失败"), result.error().description);
            return;
        }
        self->m_text->clear();
    });
}

void HotWordsPage::setEditing(bool editing)
{
    m_editing = editing;
    m_editToggle->setText(editing ? QStringLiteral("完成") : QStringLiteral("编辑"));
    rebuildList();
}

void HotWordsPage::rebuildList()
{
    const QList<HotWord>& words = m_services.hotWords.cachedHotWords();
    m_listCard->setTitle(QStringLiteral("热词列表 (") + QString::number(words.size()) + QStringLiteral(")"));
    PageParts::clearRows(m_rows);
    for (const HotWord& word : words)
        m_rows->addWidget(row(word));
    m_listOrEmpty->setCurrentIndex(words.isEmpty() ? 1 : 0);
    m_editToggle->setVisible(!words.isEmpty());
}

QWidget* HotWordsPage::row(const HotWord& word)
{
    auto* result = new QWidget;
    auto* layout = new QHBoxLayout(result);
    layout->setContentsMargins(4, 2, 4, 2);
    if (m_editing) {
        auto* remove = new QPushButton(Icons::icon(Icons::Glyph::Minus, QColor(0xd0, 0x02, 0x1b)), QString());
        remove->setFlat(true);
        remove->setToolTip(QStringLiteral("删除"));
        connect(remove, &QPushButton::clicked, this, [this, word] { confirmDelete(word); });
        layout->addWidget(remove);
    }
    layout->addWidget(new QLabel(word.text), 1);
    const int weight = static_cast<int>(std::clamp<qint64>(HotWordManager::wireWeight(word.weight),
                                                            HotWordManager::kMinWeight, HotWordManager::kMaxWeight));
    if (m_editing) {
        QSpinBox* box = weightBox(weight);
        box->setProperty("hotWord", word.text);
        connect(box, &QSpinBox::editingFinished, this, [this, box, text = word.text, weight] {
            if (box->value() != weight)
                changeWeight(text, box->value());
        });
        layout->addWidget(new QLabel(QStringLiteral("权重:")));
        layout->addWidget(box);
    } else {
        layout->addWidget(PageParts::caption(QStringLiteral("权重: ") + QString::number(HotWordManager::wireWeight(word.weight))));
    }
    return result;
}

void HotWordsPage::confirmDelete(const HotWord& word)
{
    QPointer<HotWordsPage> self(this);
    m_services.dialogs.confirm(this, QStringLiteral("删除热词"), QStringLiteral("确定要删除热词「%1」吗？").arg(word.text),
                               QStringLiteral("取消"), QStringLiteral("删除"), [self, word] {
                                   if (self)
                                       emit self->deleteHotWord(word.text, word.weight);
                               });
}

void HotWordsPage::handleDelete(const QString& text, double weight)
{
    QPointer<HotWordsPage> self(this);
    m_services.hotWords.deleteHotword(text, weight, [self](Result<std::monostate, ServiceError> result) {
        if (!self || result)
            return;
        self->m_services.log.error(QStringLiteral("处理删除通知时出错: ") + result.error().description);
        self->m_services.dialogs.alert(self, QStringLiteral("删除热词失败"), result.error().description);
    });
}

void HotWordsPage::changeWeight(const QString& text, int weight)
{
    QPointer<HotWordsPage> self(this);
    m_services.hotWords.updateHotwordWeight(text, weight, [self](Result<std::monostate, ServiceError> result) {
        if (!self || result)
            return;
        self->m_services.log.error(QStringLiteral("更新热词权重时出错: ") + result.error().description);
        self->m_services.dialogs.alert(self, QStringLiteral("修改权重失败"), result.error().description);
        self->rebuildList();
    });
}

} // namespace velnor
