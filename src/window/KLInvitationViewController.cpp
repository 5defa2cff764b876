#include "window/KLInvitationViewController.h"

#include "cloudlog/KLQLSLogger.h"
#include "conference/registry/KLFeedClient.h"
#include "host/KLMessageMode.h"
#include "model/KLParticipant.h"
#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLTimer.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QJsonArray>

namespace {
const char *const kTag = "KLInvitationViewController";

QString text(const char *key)
{
    return KLLocalizedString(QLatin1String(key));
}

bool sameNonEmpty(const QString &a, const QString &b)
{
    return !a.isEmpty() && !b.isEmpty() && a == b;
}
} // namespace

std::shared_ptr<KLInvitationViewController> KLInvitationViewController::create(std::shared_ptr<KLPanelMeeting> meeting,
                                                                               Setup setup)
{
    return std::shared_ptr<KLInvitationViewController>(new KLInvitationViewController(std::move(meeting), std::move(setup)));
}

KLInvitationViewController::KLInvitationViewController(std::shared_ptr<KLPanelMeeting> meeting, Setup setup)
    : m_meeting(std::move(meeting)), m_setup(std::move(setup))
{
    if (!m_setup.actionLog)
        m_setup.actionLog = [](const QString &control) { KLMessageMode::sharedInstance().actionLog(control); };
}

KLInvitationViewController::~KLInvitationViewController() = default;

void KLInvitationViewController::setView(std::shared_ptr<KLInvitationView> view)
{
    m_view = std::move(view);
    showInvitees();
}

void KLInvitationViewController::withView(const std::function<void(KLInvitationView &)> &work)
{
    if (m_view)
        work(*m_view);
}

void KLInvitationViewController::onMain(std::function<void(KLInvitationViewController &)> work)
{
    std::weak_ptr<KLInvitationViewController> weak = weak_from_this();
    KLPerformBlockOnMainThread([weak, work = std::move(work)] {
        if (auto self = weak.lock())
            work(*self);
    });
}

// --- Identity ---------------------------------------------------------------------------------

bool KLInvitationViewController::isSameInvitee(const KLParticipant &a, const KLParticipant &b)
{
    const qint64 type = a.memberType.toInteger();
    if (type != b.memberType.toInteger())
        return false;
    switch (type) {
    case kEmployee:
        return sameNonEmpty(a.empId, b.empId);
    case kRoom:
        return sameNonEmpty(a.roomId, b.roomId);
    case kExternal:
        return sameNonEmpty(a.email, b.email) || sameNonEmpty(a.cellPhone, b.cellPhone)
            || sameNonEmpty(a.extensionPhone, b.extensionPhone);
    default:
        return false;
    }
}

QList<KLParticipantPtr> KLInvitationViewController::participantsFrom(const QJsonValue &list)
{
    QList<KLParticipantPtr> result;
    const QJsonArray entries = list.toArray();
    for (const QJsonValue &entry : entries) {
        QString error;
        auto participant = entry.isObject() ? KLParticipant::createWithDictionary(entry.toObject(), &error) : nullptr;
        if (participant)
            result.append(participant);
        else
            KL_LOG_WARN(kTag, QStringLiteral("a directory entry was skipped: %1").arg(error.isEmpty() ? QStringLiteral("not an object") : error));
    }
    return result;
}

// --- Typing and searching -----------------------------------------------------------------------

void KLInvitationViewController::textChanged(const QString &text)
{
    const QString keyword = text.trimmed();
    if (keyword.isEmpty()) {
        m_keyword.clear();
        ++m_searchGeneration; // an answer still under way is for an old keyword
        setResultsVisible(false);
        withView([](KLInvitationView &view) { view.setClearButtonVisible(false); });
        setResults(QString(), {});
        if (m_invitees.isEmpty())
            loadRecentContacts();
        return;
    }
    withView([](KLInvitationView &view) { view.setClearButtonVisible(true); });
    search(keyword);
    setResultsVisible(true);
}

void KLInvitationViewController::loadRecentContacts()
{
    auto api = m_meeting->meetingApi();
    if (!api) {
        KL_LOG_WARN(kTag, QStringLiteral("no meeting API for recent contacts"));
        return;
    }
    const quint64 generation = ++m_searchGeneration;
    std::weak_ptr<KLInvitationViewController> weak = weak_from_this();
    api->getMeetingContactWithSuccessBlock(
        [weak, generation](const QJsonValue &payload) {
            const auto contacts = participantsFrom(payload);
            if (auto self = weak.lock())
                self->onMain([generation, contacts](KLInvitationViewController &page) {
                    if (generation != page.m_searchGeneration)
                        return;
                    page.setResults(QStringLiteral("SEARCH_RECENT_MEETING_CONTACT"), contacts);
                    page.setResultsVisible(!contacts.isEmpty());
                });
        },
        [weak, generation](const QString &code, const QString &message) {
            KL_LOG_ERROR(kTag, QStringLiteral("get meeting contact failed with error code : %1, %2").arg(code, message));
            if (auto self = weak.lock())
                self->onMain([generation](KLInvitationViewController &page) {
                    if (generation == page.m_searchGeneration)
                        page.setResults(QStringLiteral("SEARCH_RECENT_MEETING_CONTACT"), {});
                });
        });
}

void KLInvitationViewController::search(const QString &keyword)
{
    m_keyword = keyword;
    m_searchOffset = 0;
    const quint64 generation = ++m_searchGeneration;
    KLNotificationCenter::defaultCenter().postNotification(KLNotificationNames::StartSearch);
    auto api = m_meeting->meetingApi();
    if (!api) {
        KL_LOG_WARN(kTag, QStringLiteral("no meeting API to search with"));
        return;
    }
    std::weak_ptr<KLInvitationViewController> weak = weak_from_this();
    api->findMemberWithKeywords(
        keyword,
        [weak, generation](const QJsonValue &payload) {
            const auto found = participantsFrom(payload);
            if (auto self = weak.lock())
                self->onMain([generation, found](KLInvitationViewController &page) {
                    if (generation == page.m_searchGeneration)
                        page.setResults(QStringLiteral("SEARCH_RESULT"), found);
                });
        },
        [weak, generation](const QString &code, const QString &message) {
            KL_LOG_ERROR(kTag, QStringLiteral("search failed with error code : %1, %2").arg(code, message));
            if (auto self = weak.lock())
                self->onMain([generation](KLInvitationViewController &page) {
                    if (generation == page.m_searchGeneration)
                        page.setResults(QStringLiteral("SEARCH_RESULT"), {});
                });
        });
}

void KLInvitationViewController::setResults(const QString &headerKey, const QList<KLParticipantPtr> &results)
{
    m_headerKey = headerKey;
    m_results = results;
    const QString header = headerKey.isEmpty() ? QString() : KLLocalizedString(headerKey);
    withView([&](KLInvitationView &view) { view.showResults(header, results); });
}

void KLInvitationViewController::setResultsVisible(bool visible)
{
    m_resultsVisible = visible;
    withView([visible](KLInvitationView &view) { view.setResultsVisible(visible); });
}

// --- Choosing -------------------------------------------------------------------------------------

QString KLInvitationViewController::countText() const
{
    return QStringLiteral("%1(%2)").arg(text("SELECTED_TIPS")).arg(m_invitees.size());
}

void KLInvitationViewController::showInvitees()
{
    const QString count = countText();
    withView([&](KLInvitationView &view) { view.setInvitees(m_invitees, count); });
}

void KLInvitationViewController::inviteMember(const KLParticipantPtr &candidate)
{
    if (!candidate)
        return;
    const bool chosen = std::any_of(m_invitees.cbegin(), m_invitees.cend(),
                                    [&](const KLParticipantPtr &invitee) { return isSameInvitee(*invitee, *candidate); });
    if (!chosen) {
        if (const auto feed = m_meeting->existingParticipant(*candidate)) {
            askForExisting(candidate, feed);
        } else {
            const auto members = m_meeting->participantsWithOnline(true).size()
                + m_meeting->participantsWithOnline(false).size() + m_invitees.size();
            if (members < kMaxMembers) {
                m_invitees.append(candidate);
                showInvitees();
            } else {
                KLDialogRequest request;
                request.title = text("MEMBER_MAX_TIPS");
                request.firstButtonText = text("CONFIRM_OK");
                KLToastManager::shared().showToastDialog(std::move(request));
            }
        }
    }
    setResultsVisible(false);
}

// Someone already in the meeting: online there is nothing to do; offline the user may call them.
void KLInvitationViewController::askForExisting(const KLParticipantPtr &candidate, const KLHubFeedPtr &feed)
{
    KLDialogRequest request;
    if (feed->isOnline()) {
        request.title = candidate->displayName() + text("PARTICIPANT_IN_ONLONE_TIPS");
        request.firstButtonText = text("CONFIRM_OK");
    } else {
        request.title = candidate->displayName() + text("PARTICIPANT_IN_OFFLINE_TIPS");
        request.firstButtonText = text("CONFIRM_YES");
        std::weak_ptr<KLPanelMeeting> meeting = m_meeting;
        request.firstBlock = [meeting, feed] {
            if (auto alive = meeting.lock())
                alive->perform(feed, KLHubFeedAction::MakeCall);
        };
        request.secondButtonText = text("CONFIRM_NO");
    }
    KLToastManager::shared().showToastDialog(std::move(request));
}

void KLInvitationViewController::removeInvitee(int index)
{
    if (index < 0 || index >= m_invitees.size())
        return;
    m_invitees.removeAt(index);
    showInvitees();
}

// --- Adding ---------------------------------------------------------------------------------------

void KLInvitationViewController::confirmAddPressed()
{
    if (m_invitees.isEmpty())
        return;
    m_setup.actionLog(QStringLiteral("invite-add-button"));
    QStringList names;
    QStringList roomIds;
    for (const auto &invitee : std::as_const(m_invitees)) {
        if (!invitee->displayName().isEmpty())
            names << invitee->displayName();
        if (invitee->memberType.toInteger() == kRoom)
            roomIds << invitee->roomId;
    }
    QJsonObject record{{QStringLiteral("value"), QStringLiteral("invite")}};
    if (!names.isEmpty())
        record.insert(QStringLiteral("to"), names.join(QLatin1Char(',')));
    KLQLSLogger::sharedInstance().commitMonitorLevel(3, 1, record);

    auto api = m_meeting->meetingApi();
    if (!api) {
        KL_LOG_WARN(kTag, QStringLiteral("no meeting API to add members with"));
    } else {
        std::weak_ptr<KLInvitationViewController> weak = weak_from_this();
        api->addMeetingMemberWithAppointment(
            m_meeting->appointmentId(), m_invitees,
            [weak, roomIds](const QJsonValue &) {
                if (auto self = weak.lock())
                    self->onMain([roomIds](KLInvitationViewController &page) { page.added(roomIds); });
            },
            [](const QString &code, const QString &message) {
                KL_LOG_ERROR(kTag, QStringLiteral("adding members failed with error code : %1, %2").arg(code, message));
            });
    }
    withView([](KLInvitationView &view) { view.closePage(); });
}

void KLInvitationViewController::added(const QStringList &roomIds)
{
    KL_LOG_INFO(kTag, QStringLiteral("members added; rooms to check: %1").arg(roomIds.join(QLatin1Char(','))));
    // The own call status says "calling" for a while, as when calling from the member list.
    m_meeting->setMemberCallStatus(1);
    std::weak_ptr<KLPanelMeeting> meeting = m_meeting;
    m_callStatusTimer = std::make_shared<KLTimer>(m_setup.callStatusSeconds, false, [meeting] {
        KLPerformBlockOnMainThread([meeting] {
            if (auto alive = meeting.lock())
                alive->setMemberCallStatus(-1);
        });
    });
    m_callStatusTimer->startTimer();
    if (roomIds.isEmpty())
        return;
    std::weak_ptr<KLInvitationViewController> weak = weak_from_this();
    m_roomCheckTimer = std::make_shared<KLTimer>(m_setup.roomCheckDelaySeconds, false, [weak, roomIds] {
        KLPerformBlockOnMainThread([weak, roomIds] {
            if (auto self = weak.lock())
                self->findRoomStatus(roomIds);
        });
    });
    m_roomCheckTimer->startTimer();
}

// --- Room status ----------------------------------------------------------------------------------

bool KLInvitationViewController::roomNeedsCheck(const KLHubFeedPtr &feed)
{
    return feed && !feed->isCalling() && !feed->isOnline();
}

void KLInvitationViewController::findRoomStatus(const QStringList &roomIds)
{
    QStringList rooms;
    for (const QString &roomId : roomIds) {
        const auto feed = m_meeting->clientWithRoomId(roomId);
        if (roomNeedsCheck(feed) && feed->participant())
            rooms << feed->participant()->empId;
    }
    auto api = m_meeting->meetingApi();
    if (rooms.isEmpty() || !api)
        return;
    std::weak_ptr<KLPanelMeeting> weakMeeting = m_meeting;
    api->getMeetingRoomStatusWithAppointment(
        m_meeting->appointmentId(), rooms.join(QLatin1Char(',')),
        [weakMeeting](const QJsonValue &payload) {
            const QJsonArray statuses = payload.toArray();
            KLPerformBlockOnMainThread([weakMeeting, statuses] {
                auto meeting = weakMeeting.lock();
                if (!meeting)
                    return;
                for (const QJsonValue &value : statuses) {
                    const QJsonObject entry = value.toObject();
                    const QString status = entry.value(QLatin1String("status")).toString();
                    const QString code = status == QLatin1String("inothermeeting") ? QStringLiteral("-20")
                        : status == QLatin1String("share")                        ? QStringLiteral("-25")
                                                                                   : QString();
                    if (code.isEmpty())
                        continue;
                    const QJsonValue id = entry.value(QLatin1String("roomId"));
                    const QString roomId = id.isString() ? id.toString() : QString::number(id.toInteger());
                    const auto feed = meeting->clientWithRoomId(roomId);
                    // The room may have answered or been called meanwhile.
                    if (roomNeedsCheck(feed))
                        meeting->roomCallError(feed, code);
                }
            });
        },
        [](const QString &, const QString &) {});
}
