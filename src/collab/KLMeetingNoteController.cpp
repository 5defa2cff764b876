#include "collab/KLMeetingNoteController.h"

#include "collab/KLCaptionBridge.h"
#include "collab/KLMeetingNoteHost.h"
#include "gateway/KLSDKMeetingApiProtocol.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

#include <KelvoUISDK/KLSDKDispatch.h>

namespace {
const char *const kTag = "KLMeetingNoteViewController";

const QString kChinese = QStringLiteral("zh");
const QString kEnglish = QStringLiteral("en");

QString languageButtonLog(const char *group, const QString &language)
{
    return QStringLiteral("meetingNote-%1-%2-button")
        .arg(QLatin1String(group),
             language == kEnglish ? QStringLiteral("english") : QStringLiteral("chinese"));
}

QJsonObject summaryRecord(bool isOpen)
{
    return QJsonObject{{QStringLiteral("value"), QStringLiteral("summaryAction")},
                       {QStringLiteral("isOpen"), isOpen}};
}
} // namespace

std::shared_ptr<KLMeetingNoteController>
KLMeetingNoteController::create(std::weak_ptr<KLMeetingNoteHost> host,
                                std::shared_ptr<KLCaptionBridge> captionView,
                                std::shared_ptr<KLDelayScheduler> scheduler)
{
    std::shared_ptr<KLMeetingNoteController> controller(new KLMeetingNoteController(
        std::move(host), std::move(captionView), std::move(scheduler)));
    controller->observeNotifications();
    return controller;
}

KLMeetingNoteController::KLMeetingNoteController(std::weak_ptr<KLMeetingNoteHost> host,
                                                 std::shared_ptr<KLCaptionBridge> captionView,
                                                 std::shared_ptr<KLDelayScheduler> scheduler)
    : m_host(std::move(host)),
      m_captionView(std::move(captionView)),
      m_scheduler(std::move(scheduler)),
      m_translateLanguage(KLLocalization::isEnglish() ? kEnglish : kChinese)
{
}

KLMeetingNoteController::~KLMeetingNoteController()
{
    KLNotificationCenter::defaultCenter().removeObserver(this);
    if (m_onlySelfTimer)
        m_scheduler->cancel(m_onlySelfTimer);
}

template <typename Act>
void KLMeetingNoteController::onMain(Act act)
{
    std::weak_ptr<KLMeetingNoteController> weak = weak_from_this();
    KLPerformBlockOnMainThread([weak, act]() {
        if (auto self = weak.lock())
            act(*self);
    });
}

void KLMeetingNoteController::observeNotifications()
{
    auto &center = KLNotificationCenter::defaultCenter();
    std::weak_ptr<KLMeetingNoteController> weak = weak_from_this();
    auto onMainWith = [weak](void (KLMeetingNoteController::*member)()) {
        return [weak, member](const KLNotification &) {
            KLPerformBlockOnMainThread([weak, member]() {
                if (auto self = weak.lock())
                    ((*self).*member)();
            });
        };
    };
    center.addObserver(this, KLNotificationNames::GetAppointmentDetail,
                       onMainWith(&KLMeetingNoteController::buildPanel));
    // The notes were switched on or off by someone else, or stopped here: the panel follows.
    for (const QLatin1String name : {KLNotificationNames::MeetingNoteSummaryStart, KLNotificationNames::MeetingNoteSummaryStop,
                                     KLNotificationNames::StopMeetingNote})
        center.addObserver(this, name, onMainWith(&KLMeetingNoteController::buildPanel));
    center.addObserver(this, KLNotificationNames::OnlineOfflineChangeNotification,
                       onMainWith(&KLMeetingNoteController::checkOnlySelf));
    center.addObserver(this, QString::fromLatin1(KLMeetingNoteNames::MeetingNoteTranslateOpen),
                       [weak](const KLNotification &note) {
                           const QString language =
                               note.userInfo.value(QString::fromLatin1(KLMeetingNoteNames::language))
                                   .toString();
                           auto self = weak.lock();
                           if (self && self->m_captionView && !language.isEmpty())
                               self->m_captionView->changeTranslageLanguage(language);
                       });
}

void KLMeetingNoteController::setPanelView(std::shared_ptr<KLMeetingNotePanelView> view)
{
    m_view = std::move(view);
}

QUrl KLMeetingNoteController::pageAddress(const QString &baseUrl, bool englishInterface,
                                          const QString &summaryLanguage)
{
    QString address = QStringLiteral("%1?translateLang=%2")
                          .arg(baseUrl, englishInterface ? kEnglish : kChinese);
    address = QStringLiteral("%1&speakLang=%2").arg(address, summaryLanguage);
    return QUrl(address);
}

// --- Panel ----------------------------------------------------------------------------------

void KLMeetingNoteController::buildPanel()
{
    auto host = m_host.lock();
    if (!host)
        return;
    if (!host->isOpenSummary()) {
        if (m_view)
            m_view->showStartView();
        return;
    }
    if (m_view)
        m_view->showCaptionArea();
    if (!m_captionView) {
        KL_LOG_WARN(kTag, QStringLiteral("no caption page to show the captions in"));
        return;
    }
    if (m_hasLoadWebView)
        m_captionView->onScrollBottom();
    else
        loadCaptionPage(*host);
}

void KLMeetingNoteController::loadCaptionPage(const KLMeetingNoteHost &host)
{
    const QUrl url = pageAddress(host.meetingSummaryRtShowUrl(), KLLocalization::isEnglish(),
                                 host.summaryLanguage());
    std::weak_ptr<KLMeetingNoteController> weak = weak_from_this();
    m_captionView->loadUrl(url, [weak]() {
        if (auto self = weak.lock())
            self->checkOnlySelf();
    });
    m_hasLoadWebView = true;
}

// --- Start and stop -------------------------------------------------------------------------

void KLMeetingNoteController::startMeetingNote(bool chineseSelected, bool sendMail, bool isTrain)
{
    auto host = m_host.lock();
    if (!host)
        return;
    const QString language = chineseSelected ? kChinese : kEnglish;
    host->actionLog(QStringLiteral("meetingNote-start-button"));
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::StartMeetingNoteBySelf);
    auto api = host->meetingApi();
    if (!api) {
        KL_LOG_ERROR(kTag, QStringLiteral("start meeting note: the meeting has gone"));
        return;
    }
    std::weak_ptr<KLMeetingNoteController> weak = weak_from_this();
    api->openSummaryWithAppointment(
        host->ownParticipant(), language, isTrain, sendMail,
        [weak, language](const QJsonValue &) {
            if (auto self = weak.lock())
                self->onMain([language](KLMeetingNoteController &c) { c.startSucceeded(language); });
        },
        [](const QString &code, const QString &message) {
            KL_LOG_ERROR(kTag, QStringLiteral("open summary failed: %1 %2").arg(code, message));
        });
}

void KLMeetingNoteController::startSucceeded(const QString &language)
{
    auto host = m_host.lock();
    if (!host)
        return;
    KL_LOG_INFO(kTag, QStringLiteral("meeting note started in %1").arg(language));
    host->setIsOpenSummary(true);
    host->setSummaryLanguage(language);
    buildPanel();
    host->commitMonitorLevel(3, 1, summaryRecord(true));
}

void KLMeetingNoteController::stopButtonPressed()
{
    auto host = m_host.lock();
    if (!host)
        return;
    host->actionLog(QStringLiteral("meetingNote-stop-button"));
    KLDialogRequest request;
    request.title = KLLocalizedString(QStringLiteral("STOP_NOTE_TITLE"));
    request.desc = KLLocalizedString(QStringLiteral("STOP_NOTE_DESC"));
    request.firstButtonText = KLLocalizedString(QStringLiteral("STOP_NOTE"));
    request.secondButtonText = KLLocalizedString(QStringLiteral("CANCEL"));
    std::weak_ptr<KLMeetingNoteController> weak = weak_from_this();
    request.firstBlock = [weak]() {
        if (auto self = weak.lock())
            self->stopMeetingNote();
    };
    request.secondBlock = []() {};
    host->showToastDialog(std::move(request));
}

void KLMeetingNoteController::stopMeetingNote()
{
    auto host = m_host.lock();
    if (!host)
        return;
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::StopMeetingNoteAtion);
    auto api = host->meetingApi();
    if (!api) {
        KL_LOG_ERROR(kTag, QStringLiteral("stop meeting note: the meeting has gone"));
        return;
    }
    std::weak_ptr<KLMeetingNoteController> weak = weak_from_this();
    api->stopSummaryWithAppointment(
        host->ownParticipant(),
        [weak](const QJsonValue &) {
            if (auto self = weak.lock())
                self->onMain([](KLMeetingNoteController &c) { c.stopSucceeded(); });
        },
        [](const QString &code, const QString &message) {
            KL_LOG_ERROR(kTag, QStringLiteral("stop summary failed: %1 %2").arg(code, message));
        });
}

void KLMeetingNoteController::stopSucceeded()
{
    auto host = m_host.lock();
    if (!host)
        return;
    KL_LOG_INFO(kTag, QStringLiteral("meeting note stopped"));
    host->setIsOpenSummary(false);
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::StopMeetingNote);
    host->commitMonitorLevel(3, 1, summaryRecord(false));
}

// --- Settings -------------------------------------------------------------------------------

void KLMeetingNoteController::selectTranslateLanguage(const QString &language)
{
    m_translateLanguage = language == kEnglish ? kEnglish : kChinese;
    if (m_captionView)
        m_captionView->changeTranslageLanguage(m_translateLanguage);
    if (auto host = m_host.lock())
        host->actionLog(languageButtonLog("translate", m_translateLanguage));
}

void KLMeetingNoteController::setTranslateEnabled(bool enabled)
{
    if (enabled) {
        KLNotificationCenter::defaultCenter().postNotification(
            QString::fromLatin1(KLMeetingNoteNames::MeetingNoteTranslateOpen), nullptr,
            {{QString::fromLatin1(KLMeetingNoteNames::language), m_translateLanguage}});
    } else if (m_captionView) {
        m_captionView->closeTranslate();
    }
}

void KLMeetingNoteController::selectSpeakerLanguage(const QString &language)
{
    auto host = m_host.lock();
    if (!host)
        return;
    const QString spoken = language == kEnglish ? kEnglish : kChinese;
    host->actionLog(languageButtonLog("speaker", spoken));
    auto api = host->meetingApi();
    if (!api)
        return;
    std::weak_ptr<KLMeetingNoteController> weak = weak_from_this();
    api->changeMemberSummaryLangWithAppointment(
        host->ownParticipant(), spoken,
        [weak, spoken](const QJsonValue &) {
            if (auto self = weak.lock())
                self->onMain([spoken](KLMeetingNoteController &c) {
                    if (auto h = c.m_host.lock())
                        h->setSummaryLanguage(spoken);
                    if (c.m_captionView)
                        c.m_captionView->changeSpeakerLanguage(spoken);
                });
        },
        [](const QString &code, const QString &message) {
            KL_LOG_ERROR(kTag, QStringLiteral("change summary language failed: %1 %2").arg(code, message));
        });
}

// --- Alone in the meeting -------------------------------------------------------------------

void KLMeetingNoteController::checkOnlySelf()
{
    auto host = m_host.lock();
    if (!host)
        return;
    if (!host->isSelfInMeeting()) {
        m_lastSelfInMeetingFlag = false;
        cancelOnlySelfTimer();
        return;
    }
    // Before the page has loaded there is nobody to tell; its load runs this check again.
    if (m_lastSelfInMeetingFlag || !m_captionView || !m_captionView->webviewIsLoad())
        return;
    m_lastSelfInMeetingFlag = true;
    std::weak_ptr<KLMeetingNoteController> weak = weak_from_this();
    m_onlySelfTimer = m_scheduler->schedule(kOnlySelfSeconds, [weak]() {
        if (auto self = weak.lock())
            self->onMain([](KLMeetingNoteController &c) {
                c.m_onlySelfTimer = 0;
                if (c.m_captionView)
                    c.m_captionView->onlyOnePersonInMeeting();
            });
    });
}

void KLMeetingNoteController::cancelOnlySelfTimer()
{
    if (const auto timer = std::exchange(m_onlySelfTimer, 0))
        m_scheduler->cancel(timer);
}
