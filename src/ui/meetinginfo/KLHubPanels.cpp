#include "ui/meetinginfo/KLHubPanels.h"

#include "conference/service/KLConferenceService.h"
#include "conference/devices/KLDeviceManager.h"
#include "runtime/KLLocalization.h"
#include "ui/KLTheme.h"
#include "ui/invitation/KLInvitationWidget.h"
#include "ui/meetinginfo/KLMeetingInfoPanels.h"
#include "ui/settings/KLDeviceSettingsWindow.h"
#include "ui/settings/KLMeetingSettingsPanel.h"
#include "ui/toolbar/KLHubPopover.h"
#include "ui/toolbar/KLHubWidget.h"
#include "window/KLInvitationViewController.h"
#include "window/KLMeetingInfoViewController.h"
#include "window/KLMeetingLayoutViewController.h"
#include "window/KLMeetingPanelActions.h"
#include "window/KLMeetingSettingsViewController.h"
#include "window/KLPanelMeeting.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QPointer<KLHubPanels> g_current;

void place(KLHubPopover *popover, QWidget *content)
{
    auto *layout = new QVBoxLayout(popover->contentArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    popover->resize(popover->layout()->sizeHint().expandedTo(QSize(200, 80)));
}
} // namespace

KLHubPanels::KLHubPanels(std::shared_ptr<KLMeetingLayoutViewController> layout, KLHubWidget *hub, QWidget *parent)
    : QObject(parent), m_layout(std::move(layout)), m_parent(parent)
{
    m_meeting = std::make_shared<KLPanelMeetingAdapter>(m_layout ? m_layout->service() : nullptr);
    g_current = this;
    // A host's copy actions reach the system clipboard while a window is drawn.
    KLMeetingPanelActions::setClipboardWriter([](const QString &text) { QGuiApplication::clipboard()->setText(text); });
    if (hub)
        hub->setPopoverFiller([this](const QString &control, KLHubPopover *popover) { fillPopover(control, popover); });
    if (m_layout) {
        QPointer<KLHubPanels> self(this);
        m_layout->setInviteHandler([self] {
            if (self)
                self->openInvitation();
        });
    }
}

KLHubPanels::~KLHubPanels()
{
    if (m_layout)
        m_layout->setInviteHandler(nullptr);
    if (m_invitation)
        delete m_invitation.data();
    if (m_devices)
        delete m_devices.data();
}

KLInvitationWidget *KLHubPanels::invitation() const
{
    return m_invitation;
}

KLDeviceSettingsWindow *KLHubPanels::deviceWindow() const
{
    return m_devices;
}

KLHubPanels *KLHubPanels::current()
{
    return g_current;
}

QWidget *KLHubPanels::window() const
{
    return m_parent ? m_parent->window() : nullptr;
}

void KLHubPanels::fillPopover(const QString &control, KLHubPopover *popover)
{
    QPointer<KLHubPopover> guarded(popover);
    auto close = [guarded] {
        if (guarded)
            guarded->close();
    };
    if (control == QLatin1String("hub-meeting-info-button") || control == QLatin1String("hub-phone-enter-button")) {
        KLMeetingInfoViewController::Setup setup;
        setup.writeClipboard = [](const QString &text) { QGuiApplication::clipboard()->setText(text); };
        setup.closePopover = close;
        auto info = std::make_shared<KLMeetingInfoViewController>(m_meeting, m_layout ? m_layout->guiConfig() : nullptr,
                                                                  std::move(setup));
        if (control == QLatin1String("hub-meeting-info-button"))
            place(popover, new KLMeetingInfoPanel(info, popover->contentArea()));
        else
            place(popover, new KLDialInPanel(info, popover->contentArea()));
    } else if (control == QLatin1String("hub-setting-button")) {
        KLMeetingSettingsViewController::Setup setup;
        setup.closePopover = close;
        QPointer<KLHubPanels> self(this);
        setup.openDeviceSettings = [self] {
            if (self)
                self->openDeviceSettings();
        };
        auto service = m_layout ? m_layout->service() : nullptr;
        setup.beautyShown = service ? service->isShowBeauty() : true;
        auto holder = std::make_shared<QPointer<KLMeetingSettingsPanel>>();
        setup.stateChanged = [holder](const KLMeetingSettingsState &state) {
            if (*holder)
                (*holder)->showState(state);
        };
        auto settings = KLMeetingSettingsViewController::create(m_meeting, std::move(setup));
        auto *panel = new KLMeetingSettingsPanel(settings, popover->contentArea());
        *holder = panel;
        place(popover, panel);
    } else if (control == QLatin1String("hub-more-button")) {
        auto *content = new QWidget(popover->contentArea());
        auto *column = new QVBoxLayout(content);
        column->setContentsMargins(12, 10, 12, 10);
        auto *invite = new QPushButton(KLLocalizedString(QStringLiteral("MORE_INVITE")), content);
        invite->setObjectName(QStringLiteral("more-invite"));
        invite->setFont(KLTheme::font(13));
        invite->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: #EDF0F5; border: none; border-radius: 6px;"
                                             " padding: 7px 10px; text-align: left; } QPushButton:hover { background: #E7F2FC; }")
                                  .arg(KLTheme::kTextDark));
        QPointer<KLHubPanels> self(this);
        connect(invite, &QPushButton::clicked, content, [self, close] {
            close();
            if (self)
                self->openInvitation();
        });
        column->addWidget(invite);
        place(popover, content);
    }
}

KLInvitationWidget *KLHubPanels::openInvitation()
{
    if (!m_invitation) {
        KLInvitationViewController::Setup setup;
        m_invitation = new KLInvitationWidget(KLInvitationViewController::create(m_meeting, std::move(setup)), window());
        m_invitation->setWindowFlag(Qt::Window);
    }
    m_invitation->show();
    m_invitation->raise();
    m_invitation->activateWindow();
    return m_invitation;
}

KLDeviceSettingsWindow *KLHubPanels::openDeviceSettings()
{
    if (!m_devices) {
        if (!m_deviceController)
            m_deviceController = KLDeviceSettingsController::create(KLDeviceManager::sharedInstance());
        m_devices = new KLDeviceSettingsWindow(m_deviceController, window());
        m_devices->setWindowFlag(Qt::Window);
    }
    m_devices->openFor(m_meeting);
    return m_devices;
}
