#include "ui/settings/KLMeetingSettingsPanel.h"

#include "runtime/KLLocalization.h"
#include "ui/KLTheme.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {
QString text(const char *key)
{
    return KLLocalizedString(QLatin1String(key));
}

const QString kBoxStyle = QStringLiteral("QCheckBox { color: %1; spacing: 8px; }").arg(KLTheme::kTextDark);
const QString kRowStyle = QStringLiteral(
    "QPushButton { color: %1; background: #EDF0F5; border: none; border-radius: 6px; padding: 7px 10px; text-align: left; }"
    " QPushButton:hover { background: #E7F2FC; } QPushButton:disabled { color: #8A97A8; }").arg(KLTheme::kTextDark);
} // namespace

KLMeetingSettingsPanel::KLMeetingSettingsPanel(std::shared_ptr<KLMeetingSettingsViewController> controller, QWidget *parent)
    : QWidget(parent), m_controller(std::move(controller))
{
    setObjectName(QStringLiteral("settings-panel"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(12, 10, 12, 10);
    column->setSpacing(8);
    auto *title = new QLabel(text("SETTING_TITLE"), this);
    title->setFont(KLTheme::font(15, true));
    title->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextDark));
    column->addWidget(title);

    auto box = [this, column](const char *key, void (KLMeetingSettingsViewController::*toggle)()) {
        auto *check = new QCheckBox(text(key), this);
        check->setFont(KLTheme::font(13));
        check->setStyleSheet(kBoxStyle);
        std::weak_ptr<KLMeetingSettingsViewController> weak = m_controller;
        connect(check, &QCheckBox::clicked, this, [weak, toggle] {
            if (auto controller = weak.lock())
                (controller.get()->*toggle)();
        });
        column->addWidget(check);
        return check;
    };
    m_audio = box("SETTING_ENTER_MIC_MUTED", &KLMeetingSettingsViewController::toggleEnterAudioMuted);
    m_video = box("SETTING_ENTER_CAMERA_MUTED", &KLMeetingSettingsViewController::toggleEnterVideoMuted);
    m_beauty = box("SETTING_BEAUTY", &KLMeetingSettingsViewController::toggleBeauty);

    auto row = [this, column](void (KLMeetingSettingsViewController::*press)()) {
        auto *button = new QPushButton(this);
        button->setFont(KLTheme::font(13));
        button->setStyleSheet(kRowStyle);
        button->setCursor(Qt::PointingHandCursor);
        std::weak_ptr<KLMeetingSettingsViewController> weak = m_controller;
        connect(button, &QPushButton::clicked, this, [weak, press] {
            if (auto controller = weak.lock())
                (controller.get()->*press)();
        });
        column->addWidget(button);
        return button;
    };
    m_cellPhone = row(&KLMeetingSettingsViewController::callCellPhone);
    m_cellPhone->setObjectName(QStringLiteral("settings-cellphone"));
    m_devices = row(&KLMeetingSettingsViewController::deviceSettingsPressed);
    m_devices->setObjectName(QStringLiteral("settings-device"));
    m_devices->setText(text("SETTING_DEVICE"));
    showState(m_controller->state());
}

void KLMeetingSettingsPanel::showState(const KLMeetingSettingsState &state)
{
    const QSignalBlocker a(m_audio), v(m_video), b(m_beauty);
    m_audio->setChecked(state.enterAudioMuted);
    m_video->setChecked(state.enterVideoMuted);
    m_beauty->setChecked(state.beauty);
    m_beauty->setVisible(state.beautyShown);
    m_cellPhone->setText(state.cellPhoneLabel);
    m_cellPhone->setEnabled(state.cellPhoneEnabled);
}
