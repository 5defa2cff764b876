#pragma once

// What the toolbar's popover buttons open, for one meeting window: the settings, meeting
// information, dial-in and more popovers' contents, the invitation page (also the one-person
// toast's "add members") and the device settings window. Created by the layout widget with
// the toolbar; it fills each popover as it opens. Main thread only.

#include <QObject>
#include <QPointer>

#include <memory>

class KLDeviceSettingsController;
class KLDeviceSettingsWindow;
class KLHubPopover;
class KLHubWidget;
class KLInvitationWidget;
class KLMeetingLayoutViewController;
class KLPanelMeeting;
class QWidget;

class KLHubPanels : public QObject {
    Q_OBJECT
public:
    KLHubPanels(std::shared_ptr<KLMeetingLayoutViewController> layout, KLHubWidget *hub, QWidget *parent);
    ~KLHubPanels() override;

    /// Fills the popover of a toolbar control ("hub-setting-button", …) before it shows.
    void fillPopover(const QString &control, KLHubPopover *popover);
    /// Opens the invitation page (raising the open one).
    KLInvitationWidget *openInvitation();
    KLDeviceSettingsWindow *openDeviceSettings();
    KLInvitationWidget *invitation() const;
    KLDeviceSettingsWindow *deviceWindow() const;
    /// The panels' window of the process, if one is open (for tests and pictures).
    static KLHubPanels *current();

private:
    QWidget *window() const;

    std::shared_ptr<KLMeetingLayoutViewController> m_layout;
    std::shared_ptr<KLPanelMeeting> m_meeting;
    std::shared_ptr<KLDeviceSettingsController> m_deviceController;
    QPointer<QWidget> m_parent;
    QPointer<KLInvitationWidget> m_invitation;
    QPointer<KLDeviceSettingsWindow> m_devices;
};
