#include "ui/main/SettingsPage.h"

#include "audio/AudioInputManager.h"
#include "backend/UpdateChecker.h"
#include "config/LanguageManager.h"
#include "log/Logger.h"
#include "ui/common/Card.h"
#include "ui/common/Dialogs.h"
#include "ui/common/SettingChoices.h"
#include "ui/main/MainWindowServices.h"
#include "ui/main/PageLayout.h"
#include "ui/onboarding/PermissionManager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

namespace velnor {

namespace {

const QColor kGreen(0x2f, 0xa8, 0x4f);

// Shows `choices` with `current` selected; a stored value the list lacks is
// shown as its own entry rather than silently replaced.
void showChoices(QComboBox* box, QList<Choice> choices, const QString& current)
{
    const QSignalBlocker quiet(box);
    const bool listed = std::any_of(choices.cbegin(), choices.cend(), [&](const Choice& c) { return c.value == current; });
    if (!listed && !current.isEmpty())
        choices.append({current, current});
    box->clear();
    for (const Choice& choice : choices)
        box->addItem(choice.title, choice.value);
    box->setCurrentIndex(box->findData(current));
}

QLabel* caption(const QString& text)
{
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("caption"));
    label->setWordWrap(true);
    return label;
}

QFormLayout* form()
{
    auto* layout = new QFormLayout;
    layout->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    layout->setHorizontalSpacing(16);
    return layout;
}

QString deviceLines(const QString& id, const QString& status, const QString& name)
{
    return QStringLiteral("设备ID: ") + id + QStringLiteral("\n") + QStringLiteral("状态: ") + status +
           QStringLiteral("\n") + QStringLiteral("当前选中: ") + name;
}

} // namespace

SettingsPage::SettingsPage(MainWindowServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_model(services.settings, services.launchAtLogin, services.settingsHooks)
{
    PageLayout page(this, QStringLiteral("设置"));
    for (QWidget* card : {versionCard(), indicatorCard(), hotkeyCard(), recognitionCard(), historyCard(), keyboardCard(),
                          audioInputCard(), permissionsCard()})
        page.add(card);
    if (!m_model.inputMethodState().isEmpty())
        page.add(inputMethodCard());
    page.finish();
    // Scrolling the page over a picker must not change the hotkey, the
    // device or the history retention (which prunes history).
    for (QWidget* control : std::initializer_list<QWidget*>{m_positions, m_hotkeys, m_languages, m_duration, m_keyTypes,
                                                            m_keyboards, m_audioInputs, m_retentionDays})
        m_wheelGuard.guard(control);
    loadValues();
}

void SettingsPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    loadValues();
    renderPermissions();
}

void SettingsPage::loadValues()
{
    const SettingsModel::Values loaded = m_model.load();
    showChoices(m_positions, SettingChoices::indicatorPositions(), loaded.position);
    showChoices(m_hotkeys, SettingChoices::hotkeyOptions(loaded.hotkey), loaded.hotkey);
    QList<Choice> voiceTypes;
    for (const auto& [value, name] : m_services.languages.languages())
        voiceTypes.append({value, name});
    showChoices(m_languages, voiceTypes, loaded.voiceType);
    showChoices(m_keyTypes, SettingChoices::overOverKeyTypes(), loaded.overOverKeyType);
    const QSignalBlocker quietDuration(m_duration), quietSounds(m_sounds), quietOverOver(m_overOver),
        quietLaunch(m_launchAtLogin), quietHistory(m_history), quietRetention(m_retentionDays),
        quietInputMethod(m_inputMethod), quietEvdev(m_evdevHotkey);
    m_duration->setValue(loaded.maxDurationSeconds / SettingsModel::kDurationStep);
    m_durationLabel->setText(QStringLiteral("最大录音时长: ") + QString::number(loaded.maxDurationSeconds));
    m_sounds->setChecked(loaded.soundEffects);
    m_overOver->setChecked(loaded.overOver);
    m_launchAtLogin->setChecked(loaded.launchAtLogin);
    m_history->setChecked(loaded.historyEnabled);
    m_retentionDays->setValue(loaded.historyRetentionDays);
    m_evdevHotkey->setChecked(loaded.evdevHotkey);
    const QString session = m_model.sessionState();
    m_sessionState->setText(session);
    m_sessionState->setVisible(!session.isEmpty());
    if (m_inputMethod) {
        m_inputMethod->setChecked(loaded.inputMethod);
        m_inputMethodState->setText(QStringLiteral("Fcitx5 插件: ") + m_model.inputMethodState());
    }
}

QWidget* SettingsPage::versionCard()
{
    auto* card = new Card(Icons::Glyph::Info, QStringLiteral("版本信息"));
    const QString version = m_services.updates.currentVersion();
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("当前版本: ") + (version.isEmpty() ? QStringLiteral("1.0.0") : version)), 1);
    m_checkUpdate = new QPushButton(Icons::icon(Icons::Glyph::Refresh), QStringLiteral("检查更新"));
    connect(m_checkUpdate, &QPushButton::clicked, &m_services.updates, &UpdateChecker::checkForUpdates);
    row->addWidget(m_checkUpdate);
    card->body()->addLayout(row);

    auto* update = new QHBoxLayout;
    m_newVersion = new QLabel;
    m_newVersion->setStyleSheet(QStringLiteral("color: #e67e22;"));
    m_updateNow = new QPushButton(Icons::icon(Icons::Glyph::Plus, QColor(Qt::white)), QStringLiteral("立即更新"));
    m_updateNow->setObjectName(QStringLiteral("primary"));
    connect(m_updateNow, &QPushButton::clicked, this, [this] {
        const auto& info = m_services.updates.updateInfo();
        const QUrl url(info ? info->update_url : QString());
        if (!SettingsModel::isOpenableUpdateUrl(url)) {
            m_services.log.warning(QStringLiteral("拒绝打开更新链接: ") + url.toString());
            m_services.dialogs.alert(this, QStringLiteral("无法更新"), QStringLiteral("更新地址无效"));
            return;
        }
        m_services.openUrl(url);
    });
    update->addWidget(m_newVersion, 1);
    update->addWidget(m_updateNow);
    card->body()->addLayout(update);
    connect(&m_services.updates, &UpdateChecker::changed, this, &SettingsPage::renderUpdate);
    renderUpdate();
    return card;
}

void SettingsPage::renderUpdate()
{
    const UpdateChecker& updates = m_services.updates;
    m_checkUpdate->setText(updates.isCheckingUpdate() ? QStringLiteral("检查中...") : QStringLiteral("检查更新"));
    m_checkUpdate->setDisabled(updates.isCheckingUpdate());
    const bool available = updates.updateAvailable() && updates.updateInfo();
    m_newVersion->setVisible(available);
    m_updateNow->setVisible(available);
    if (available)
        m_newVersion->setText(QStringLiteral("发现新版本: ") + updates.updateInfo()->update_version);
}

QWidget* SettingsPage::indicatorCard()
{
    auto* card = new Card(Icons::Glyph::Window, QStringLiteral("悬浮窗设置"));
    m_positions = new QComboBox;
    connect(m_positions, &QComboBox::activated, this,
            [this](int index) { m_model.setPosition(m_positions->itemData(index).toString()); });
    QFormLayout* layout = form();
    layout->addRow(QStringLiteral("悬浮窗位置"), m_positions);
    card->body()->addLayout(layout);
    return card;
}

QWidget* SettingsPage::hotkeyCard()
{
    auto* card = new Card(Icons::Glyph::Keyboard, QStringLiteral("快捷键设置"));
    m_hotkeys = new QComboBox;
    connect(m_hotkeys, &QComboBox::activated, this,
            [this](int index) { m_model.setHotkey(m_hotkeys->itemData(index).toString()); });
    QFormLayout* layout = form();
    layout->addRow(QStringLiteral("全局快捷键"), m_hotkeys);
    card->body()->addLayout(layout);
    card->body()->addWidget(caption(SettingChoices::hotkeyLinuxNote()));
    m_evdevHotkey = new QCheckBox(QStringLiteral("从输入设备读取热键（Wayland，需要 input 组，重启后生效）"));
    connect(m_evdevHotkey, &QCheckBox::clicked, this, [this](bool on) { m_model.setEvdevHotkey(on); });
    card->body()->addWidget(m_evdevHotkey);
    m_sessionState = caption(QString());
    card->body()->addWidget(m_sessionState);
    return card;
}

QWidget* SettingsPage::recognitionCard()
{
    auto* card = new Card(Icons::Glyph::Waveform, QStringLiteral("语音识别设置"));
    m_languages = new QComboBox;
    connect(m_languages, &QComboBox::activated, this,
            [this](int index) { m_model.setVoiceType(m_languages->itemData(index).toString()); });

    m_duration = new QSlider(Qt::Horizontal);
    m_duration->setRange(SettingsModel::kMinDuration / SettingsModel::kDurationStep,
                         SettingsModel::kMaxDuration / SettingsModel::kDurationStep);
    m_durationLabel = new QLabel;
    connect(m_duration, &QSlider::valueChanged, this, [this](int steps) {
        const int stored = m_model.setMaxDuration(steps * SettingsModel::kDurationStep);
        m_durationLabel->setText(QStringLiteral("最大录音时长: ") + QString::number(stored));
    });

    m_sounds = new QCheckBox(QStringLiteral("启用音效"));
    connect(m_sounds, &QCheckBox::clicked, this, [this](bool on) { m_model.setSoundEffects(on); });
    m_overOver = new QCheckBox(QStringLiteral("Over Over 识别"));
    connect(m_overOver, &QCheckBox::clicked, this, [this](bool on) { m_model.setOverOver(on); });
    m_keyTypes = new QComboBox;
    connect(m_keyTypes, &QComboBox::activated, this,
            [this](int index) { m_model.setOverOverKeyType(m_keyTypes->itemData(index).toString()); });

    QFormLayout* layout = form();
    layout->addRow(QStringLiteral("识别语言"), m_languages);
    layout->addRow(m_durationLabel, m_duration);
    layout->addRow(m_sounds);
    layout->addRow(m_overOver);
    layout->addRow(caption(QStringLiteral("识别到以'over over'结束时自动按键")));
    layout->addRow(QStringLiteral("模拟按键类型"), m_keyTypes);
    card->body()->addLayout(layout);
    return card;
}

QWidget* SettingsPage::historyCard()
{
    auto* card = new Card(Icons::Glyph::Gear, QStringLiteral("听写历史"));
    m_history = new QCheckBox(QStringLiteral("保存听写历史"));
    connect(m_history, &QCheckBox::clicked, this, [this](bool on) { m_model.setHistoryEnabled(on); });
    m_retentionDays = new QSpinBox;
    m_retentionDays->setRange(SettingsModel::kMinRetentionDays, SettingsModel::kMaxRetentionDays);
    m_retentionDays->setSuffix(QStringLiteral(" 天"));
    // Committed when the user is done typing, not at every keystroke: "3" on
    // the way to "30" must not prune a month of history.
    m_retentionDays->setKeyboardTracking(false);
    connect(m_retentionDays, &QSpinBox::valueChanged, this, [this](int days) { m_model.setHistoryRetentionDays(days); });

    QFormLayout* layout = form();
    layout->addRow(m_history);
    layout->addRow(caption(QStringLiteral("关闭后不再记录新的听写")));
    layout->addRow(QStringLiteral("保留天数"), m_retentionDays);
    card->body()->addLayout(layout);
    return card;
}

QWidget* SettingsPage::inputMethodCard()
{
    auto* card = new Card(Icons::Glyph::Keyboard, QStringLiteral("输入法"));
    m_inputMethod = new QCheckBox(QStringLiteral("通过输入法输入"));
    connect(m_inputMethod, &QCheckBox::clicked, this, [this](bool on) { m_model.setInputMethod(on); });
    m_inputMethodState = new QLabel;
    QFormLayout* layout = form();
    layout->addRow(m_inputMethod);
    layout->addRow(caption(QStringLiteral("热键、文字和实时识别中的文字经由 Fcitx5 进入输入框")));
    layout->addRow(m_inputMethodState);
    card->body()->addLayout(layout);
    return card;
}

QWidget* SettingsPage::keyboardCard()
{
    auto* card = new Card(Icons::Glyph::Keyboard, QStringLiteral("键盘设备设置"));
    m_keyboards = new QComboBox;
    m_keyboardDetails = caption(QString());
    connect(m_keyboards, &QComboBox::activated, this, [this](int index) {
        m_model.selectKeyboard(m_keyboards->itemData(index).toString());
        fillKeyboards();
    });
    auto* refresh = new QPushButton(Icons::icon(Icons::Glyph::Refresh), QStringLiteral("刷新设备列表"));
    connect(refresh, &QPushButton::clicked, this, [this] {
        m_model.refreshKeyboards();
        fillKeyboards();
    });
    // Keyboards plugged in or out while the screen shows.
    m_model.observeKeyboards(this, [this] { fillKeyboards(); });
    QFormLayout* layout = form();
    layout->addRow(QStringLiteral("主键盘设备"), m_keyboards);
    card->body()->addLayout(layout);
    card->body()->addWidget(m_keyboardDetails);
    card->body()->addWidget(refresh, 0, Qt::AlignLeft);
    fillKeyboards();
    return card;
}

void SettingsPage::fillKeyboards()
{
    const QList<KeyboardEntry> keyboards = m_model.keyboards();
    const QString selected = m_model.selectedKeyboardId();
    m_keyboards->clear();
    const KeyboardEntry* current = nullptr;
    for (const KeyboardEntry& keyboard : keyboards) {
        m_keyboards->addItem(keyboard.name + (keyboard.isBuiltIn ? QStringLiteral(" (内置)") : QString()), keyboard.id);
        if (keyboard.id == selected)
            current = &keyboard;
    }
    m_keyboards->setCurrentIndex(m_keyboards->findData(selected));
    m_keyboardDetails->setText(current ? deviceLines(current->id, current->status, current->name)
                                       : deviceLines(selected.isEmpty() ? QStringLiteral("-") : selected,
                                                     QStringLiteral("未连接"), QStringLiteral("-")));
}

QWidget* SettingsPage::audioInputCard()
{
    auto* card = new Card(Icons::Glyph::Microphone, QStringLiteral("音频输入设备设置"));
    m_audioInputs = new QComboBox;
    m_audioDetails = caption(QString());
    connect(m_audioInputs, &QComboBox::activated, this, [this](int index) {
        const QList<AudioInputDevice>& devices = m_services.audioInputs.availableDevices();
        if (index >= 0 && index < devices.size())
            m_services.audioInputs.selectDevice(devices.at(index));
        fillAudioInputs();
    });
    auto* refresh = new QPushButton(Icons::icon(Icons::Glyph::Refresh), QStringLiteral("刷新设备列表"));
    connect(refresh, &QPushButton::clicked, this, [this] {
        m_services.audioInputs.refreshDevices();
        fillAudioInputs();
    });
    QFormLayout* layout = form();
    layout->addRow(QStringLiteral("音频输入设备"), m_audioInputs);
    card->body()->addLayout(layout);
    card->body()->addWidget(m_audioDetails);
    card->body()->addWidget(refresh, 0, Qt::AlignLeft);
    fillAudioInputs();
    return card;
}

void SettingsPage::fillAudioInputs()
{
    const QList<AudioInputDevice>& devices = m_services.audioInputs.availableDevices();
    const std::optional<AudioInputDevice>& selected = m_services.audioInputs.selectedDevice();
    m_audioInputs->clear();
    bool present = false;
    for (const AudioInputDevice& device : devices) {
        QString title = device.name;
        if (device.isBuiltIn)
            title += QStringLiteral(" (内置)");
        if (device.isDefault)
            title += QStringLiteral(" (默认)");
        m_audioInputs->addItem(title, device.id);
        present = present || (selected && selected->id == device.id);
    }
    m_audioInputs->setCurrentIndex(selected ? m_audioInputs->findData(selected->id) : -1);
    if (!selected) {
        m_audioDetails->setText(deviceLines(QStringLiteral("-"), QStringLiteral("未连接"), QStringLiteral("-")));
        return;
    }
    const QString status = present && selected->isActive ? QStringLiteral("已连接") : QStringLiteral("未连接");
    m_audioDetails->setText(deviceLines(selected->id, status, selected->name));
}

QWidget* SettingsPage::permissionsCard()
{
    auto* card = new Card(Icons::Glyph::Shield, QStringLiteral("系统权限设置"));
    const auto permissionRow = [this, card](const QString& name, QLabel*& state, QPushButton*& button, bool accessibility) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(name), 1);
        state = new QLabel(QStringLiteral("已授权"));
        state->setStyleSheet(QStringLiteral("color: %1;").arg(kGreen.name()));
        button = new QPushButton(QStringLiteral("去授权"));
        state->hide(); // until the first answer
        button->hide();
        connect(button, &QPushButton::clicked, this, [this, accessibility] { emit permissionRequested(accessibility); });
        row->addWidget(state);
        row->addWidget(button);
        card->body()->addLayout(row);
    };
    permissionRow(QStringLiteral("辅助功能权限"), m_accessibilityState, m_accessibilityButton, true);
    permissionRow(QStringLiteral("麦克风权限"), m_microphoneState, m_microphoneButton, false);
    card->body()->addWidget(caption(QStringLiteral("授权后需要重启")));

    m_launchAtLogin = new QCheckBox(QStringLiteral("开机启动"));
    connect(m_launchAtLogin, &QCheckBox::clicked, this, [this](bool on) {
        QPointer<QCheckBox> toggle(m_launchAtLogin);
        m_model.setLaunchAtLogin(on, !on, [toggle](bool actual) {
            if (!toggle)
                return;
            const QSignalBlocker quiet(toggle);
            toggle->setChecked(actual);
        });
    });
    card->body()->addWidget(m_launchAtLogin);
    renderPermissions();
    return card;
}

void SettingsPage::renderPermissions()
{
    // Read-only checks: showing the screen stores nothing. The desktop's
    // answer comes later; until then the row keeps what it showed.
    QPointer<SettingsPage> self(this);
    m_services.permissions.readAccessibility([self](bool accessibility) {
        if (!self)
            return;
        self->m_accessibilityState->setVisible(accessibility);
        self->m_accessibilityButton->setVisible(!accessibility);
    });
    const bool microphone = m_services.permissions.isMicrophoneAuthorized();
    m_microphoneState->setVisible(microphone);
    m_microphoneButton->setVisible(!microphone);
}

} // namespace velnor
