#include "window/KLMeetingSettingsViewController.h"

#include "cloudlog/KLQLSLogger.h"
#include "conference/devices/KLDeviceManager.h"
#include "conference/registry/KLFeedClient.h"
#include "host/KLMessageMode.h"
#include "host/UserPersistentData.h"
#include "media/KLRTCMediaStream.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"

#include <KelvoUISDK/KLSDKDispatch.h>

namespace {
const char *const kTag = "KLMeetingSettings";
constexpr int kCamera = 1;
constexpr int kSpeaker = 2;
constexpr int kMicrophone = 3;
} // namespace

// --- Settings popover ---------------------------------------------------------------------------

std::shared_ptr<KLMeetingSettingsViewController>
KLMeetingSettingsViewController::create(std::shared_ptr<KLPanelMeeting> meeting, Setup setup)
{
    std::shared_ptr<KLMeetingSettingsViewController> controller(
        new KLMeetingSettingsViewController(std::move(meeting), std::move(setup)));
    std::weak_ptr<KLMeetingSettingsViewController> weak = controller;
    // The phone left the call: the button offers the call again.
    controller->m_observer = KLNotificationCenter::defaultCenter().addObserver(
        controller.get(), KLNotificationNames::SelfCellPhoneLeave, [weak](const KLNotification &) {
            KLPerformBlockOnMainThread([weak] {
                auto self = weak.lock();
                if (!self)
                    return;
                const auto own = self->m_meeting->publisher();
                if (own && own->isCellPhoneEnter())
                    return;
                self->m_calling = false;
                self->changed();
            });
        });
    return controller;
}

KLMeetingSettingsViewController::KLMeetingSettingsViewController(std::shared_ptr<KLPanelMeeting> meeting, Setup setup)
    : m_meeting(std::move(meeting)), m_setup(std::move(setup))
{
    if (!m_setup.actionLog)
        m_setup.actionLog = [](const QString &control) { KLMessageMode::sharedInstance().actionLog(control); };
    if (!m_setup.showToast)
        m_setup.showToast = [](const KLToastMessage &message) { KLToastManager::shared().pushToastMessage(message); };
}

KLMeetingSettingsViewController::~KLMeetingSettingsViewController()
{
    KLNotificationCenter::defaultCenter().removeObserverWithToken(m_observer);
}

KLMeetingSettingsState KLMeetingSettingsViewController::state() const
{
    auto &store = UserPersistentData::sharedInstance();
    KLMeetingSettingsState state;
    state.enterAudioMuted = store.readEnterAudioMuteFlag();
    state.enterVideoMuted = store.readEnterVideoMuteFlag();
    state.beauty = store.readEnableBeautyFlag();
    state.beautyShown = m_setup.beautyShown;
    const auto own = m_meeting ? m_meeting->publisher() : nullptr;
    const bool phoneInCall = own && own->isExtensionAndCellPhoneOnline();
    state.cellPhoneEnabled = !m_calling && !phoneInCall;
    state.cellPhoneLabel = KLLocalizedString(state.cellPhoneEnabled ? QStringLiteral("MEETING_SETTING_CELLPHONE_TIPS")
                                                                     : QStringLiteral("MEETING_SETTING_CELLPHONE_CALLING"));
    return state;
}

void KLMeetingSettingsViewController::changed()
{
    if (m_setup.stateChanged)
        m_setup.stateChanged(state());
}

void KLMeetingSettingsViewController::toggleEnterAudioMuted()
{
    auto &store = UserPersistentData::sharedInstance();
    const bool muted = !store.readEnterAudioMuteFlag();
    store.writeEnterAudioMuteFlag(muted);
    m_setup.actionLog(muted ? QStringLiteral("setting-mic-on") : QStringLiteral("setting-mic-off"));
    changed();
}

void KLMeetingSettingsViewController::toggleEnterVideoMuted()
{
    auto &store = UserPersistentData::sharedInstance();
    const bool muted = !store.readEnterVideoMuteFlag();
    store.writeEnterVideoMuteFlag(muted);
    m_setup.actionLog(muted ? QStringLiteral("setting-camera-on") : QStringLiteral("setting-camera-off"));
    changed();
}

void KLMeetingSettingsViewController::toggleBeauty()
{
    auto &store = UserPersistentData::sharedInstance();
    const bool enabled = !store.readEnableBeautyFlag();
    store.writeBeautyFlag(enabled);
    m_setup.actionLog(enabled ? QStringLiteral("setting-beauty-on") : QStringLiteral("setting-beauty-off"));
    KLQLSLogger::sharedInstance().commitMonitorLevel(3, 1,
                                                     {{QStringLiteral("value"), QStringLiteral("beautyAction")},
                                                      {QStringLiteral("status"), enabled ? QStringLiteral("open") : QStringLiteral("close")},
                                                      {QStringLiteral("stage"), QStringLiteral("setting")}});
    if (const auto own = m_meeting ? m_meeting->publisher() : nullptr)
        if (const auto stream = own->mediaStream())
            stream->setBeautyFlag(enabled);
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::BeautyChange);
    changed();
}

void KLMeetingSettingsViewController::callCellPhone()
{
    const auto own = m_meeting ? m_meeting->publisher() : nullptr;
    if (!own || !state().cellPhoneEnabled) {
        KL_LOG_INFO(kTag, QStringLiteral("the cell phone is in the call already or being called"));
        return;
    }
    m_meeting->perform(own, KLHubFeedAction::MakeCellCall);
    m_calling = true;
    if (m_setup.closePopover)
        m_setup.closePopover();
    m_setup.showToast(KLToastMessage::meetingCallCellPhone(KLToastClient{own->uuid(), own->display()}));
    m_setup.actionLog(QStringLiteral("setting-call-self-phone"));
    changed();
}

void KLMeetingSettingsViewController::deviceSettingsPressed()
{
    if (m_setup.openDeviceSettings)
        m_setup.openDeviceSettings();
    if (m_setup.closePopover)
        m_setup.closePopover();
}

// --- Device settings window ---------------------------------------------------------------------

std::shared_ptr<KLDeviceSettingsController> KLDeviceSettingsController::create(std::shared_ptr<KLDeviceManager> devices)
{
    std::shared_ptr<KLDeviceSettingsController> controller(new KLDeviceSettingsController(std::move(devices)));
    std::weak_ptr<KLDeviceSettingsController> weak = controller;
    auto &center = KLNotificationCenter::defaultCenter();
    controller->m_deviceObserver = center.addObserver(controller.get(), KLNotificationNames::DEVICE_CHANGE,
                                                      [weak](const KLNotification &) {
                                                          KLPerformBlockOnMainThread([weak] {
                                                              if (auto self = weak.lock())
                                                                  self->reloadDevices();
                                                          });
                                                      });
    controller->m_videoObserver = center.addObserver(controller.get(), KLNotificationNames::AudioVideoChangeNotification,
                                                     [weak](const KLNotification &) {
                                                         KLPerformBlockOnMainThread([weak] {
                                                             if (auto self = weak.lock())
                                                                 self->updatePreview();
                                                         });
                                                     });
    return controller;
}

KLDeviceSettingsController::KLDeviceSettingsController(std::shared_ptr<KLDeviceManager> devices)
    : m_devices(devices ? std::move(devices) : KLDeviceManager::sharedInstance())
{
}

KLDeviceSettingsController::~KLDeviceSettingsController()
{
    auto &center = KLNotificationCenter::defaultCenter();
    center.removeObserverWithToken(m_deviceObserver);
    center.removeObserverWithToken(m_videoObserver);
    close();
}

void KLDeviceSettingsController::setView(std::shared_ptr<KLDeviceSettingsView> view)
{
    m_view = std::move(view);
    reloadDevices();
    updatePreview();
}

QList<KLRTCMediaDevice> KLDeviceSettingsController::devices(int deviceType) const
{
    switch (deviceType) {
    case kCamera:
        return m_devices->videoDevice();
    case kSpeaker:
        return m_devices->audioOutputDevice();
    case kMicrophone:
        return m_devices->audioInputDevice();
    default:
        return {};
    }
}

void KLDeviceSettingsController::reloadDevices()
{
    if (!m_view)
        return;
    for (int type : {kCamera, kSpeaker, kMicrophone}) {
        const auto list = devices(type);
        const auto current = type == kCamera ? m_devices->currntVideoInput()
            : type == kSpeaker               ? m_devices->currentAudioOutput()
                                             : m_devices->currentAudioInput();
        QStringList names;
        int index = -1;
        for (int i = 0; i < list.size(); ++i) {
            names << list.at(i).deviceName;
            if (current && current->deviceId == list.at(i).deviceId)
                index = i;
        }
        m_view->setDevices(type, names, index);
    }
}

void KLDeviceSettingsController::open(std::shared_ptr<KLPanelMeeting> meeting)
{
    if (meeting != m_meeting)
        m_previewShown = false;
    m_meeting = std::move(meeting);
    close();
    reloadDevices();
    updatePreview();
    if (m_view)
        m_view->setLevel(0);
    std::weak_ptr<KLDeviceSettingsController> weak = weak_from_this();
    m_levelTimer = std::make_shared<KLTimer>(kLevelIntervalSeconds, true, [weak] {
        KLPerformBlockOnMainThread([weak] {
            if (auto self = weak.lock())
                self->tick();
        });
    });
    m_levelTimer->startTimer();
    ++m_timerStarts;
}

void KLDeviceSettingsController::close()
{
    if (m_levelTimer)
        m_levelTimer->stopTimer();
    m_levelTimer.reset();
}

bool KLDeviceSettingsController::isLevelTimerRunning() const
{
    return m_levelTimer != nullptr;
}

void KLDeviceSettingsController::tick()
{
    const auto own = m_meeting ? m_meeting->publisher() : nullptr;
    if (m_view && m_levelTimer)
        m_view->setLevel(own ? own->iLevel() : 0);
}

bool KLDeviceSettingsController::chooseDevice(int deviceType, int index)
{
    const auto list = devices(deviceType);
    if (index < 0 || index >= list.size()) {
        KL_LOG_WARN(kTag, QStringLiteral("device %1 of type %2 is not listed (%3 devices)").arg(index).arg(deviceType).arg(list.size()));
        return false;
    }
    const KLRTCMediaDevice &device = list.at(index);
    if (deviceType == kCamera) {
        m_devices->setCurrntVideoInput(device);
        updatePreview();
    } else if (deviceType == kSpeaker) {
        m_devices->setCurrentAudioOutput(device);
    } else {
        m_devices->setCurrentAudioInput(device);
    }
    return true;
}

bool KLDeviceSettingsController::chooseDeviceNamed(int deviceType, const QString &idOrName)
{
    const auto list = devices(deviceType);
    for (int i = 0; i < list.size(); ++i)
        if (list.at(i).deviceId == idOrName || list.at(i).deviceName == idOrName)
            return chooseDevice(deviceType, i);
    return false;
}

void KLDeviceSettingsController::playTestSound()
{
    if (m_testSound.isEmpty()) {
        KL_LOG_WARN(kTag, QStringLiteral("no test sound to play"));
        return;
    }
    m_devices->startPlayingFile(m_testSound);
}

void KLDeviceSettingsController::updatePreview()
{
    const auto own = m_meeting ? m_meeting->publisher() : nullptr;
    m_previewShown = m_meeting && m_meeting->isVideoMeeting() && own && !own->videoMuted();
    if (m_view)
        m_view->setPreviewShown(m_previewShown);
}
