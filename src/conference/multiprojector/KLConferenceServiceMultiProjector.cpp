// The conference service's multi-projector part: the member filters over the registry, the
// session's adapter, and the host's projector answer that turns a foreign share into the
// user's own cast through a room projector.

#include "conference/service/KLConferenceService.h"

#include "conference/multiprojector/KLConferenceServiceMultiProjectorContext.h"
#include "conference/registry/KLFeedClient.h"
#include "conference/multiprojector/KLMultiProjectorMembers.h"
#include "conference/registry/KLParticipantRegistry.h"
#include "model/KLParticipant.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLSDKLog.h"

#include <QStringList>
#include <QVariant>

namespace {
const char *const kTag = "KLConferenceService";
// The host's answer to the projector-status question; its poster is the host integration.
const QString kQueryProjectorStatus = QStringLiteral("QueryProjectorStatus");
const QString kIsProjectorWorking = QStringLiteral("isProjectorWorking");
const QString kScreenCodeList = QStringLiteral("screenCodeList");

QStringList screenCodesOf(const QVariant &value)
{
    QStringList codes;
    for (const QVariant &item : value.toList()) {
        if (item.typeId() == QMetaType::QString)
            codes.append(item.toString());
    }
    if (codes.isEmpty() && value.typeId() == QMetaType::QStringList)
        codes = value.toStringList();
    return codes;
}

bool matchesAnyCode(const QString &code, const QStringList &codes)
{
    for (const QString &candidate : codes) {
        if (candidate.compare(code, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
} // namespace

namespace Members = KLMultiProjectorMembers;

void KLConferenceService::setUpMultiProjector()
{
    m_multiProjectorContext = std::make_shared<MultiProjectorContext>(weakSelf());
    auto weak = weakSelf();
    KLNotificationCenter::defaultCenter().addObserver(
        this, kQueryProjectorStatus, [weak](const KLNotification &notification) {
            auto self = weak.lock();
            if (!self)
                return;
            const QVariant working = notification.userInfo.value(kIsProjectorWorking);
            self->queryProjectorStatus(working.typeId() == QMetaType::Bool && working.toBool(),
                                       screenCodesOf(notification.userInfo.value(kScreenCodeList)));
        });
}

std::shared_ptr<KLConferenceService::MultiProjectorContext>
KLConferenceService::multiProjectorContext() const
{
    return m_multiProjectorContext;
}

QString KLConferenceService::shareScreenCacheId() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_shareScreenCacheId;
}

KLFeedPtr KLConferenceService::multiProjectorShareOwner() const
{
    return Members::shareOwner(m_registry->participants(), m_registry->sharedFeed());
}

QList<KLFeedPtr> KLConferenceService::participantsWithMultiProjector() const
{
    return Members::participantsWithMultiProjector(m_registry->participants());
}

QList<KLFeedPtr> KLConferenceService::participantsWithMultiProjectorViewerList() const
{
    return Members::participantsWithMultiProjectorViewerList(m_registry->participants(),
                                                             multiProjectorShareOwner());
}

QList<KLFeedPtr> KLConferenceService::screenReceiveOtheMembersForMultiProjector() const
{
    return Members::screenReceiveOtheMembersForMultiProjector(m_registry->participants(),
                                                              publisher());
}

QList<KLFeedPtr> KLConferenceService::noRecvShareMemberForMultiProjector() const
{
    return Members::noRecvShareMemberForMultiProjector(m_registry->participants(), publisher());
}

QList<KLFeedPtr> KLConferenceService::noRecvShareMemberOfRoomForMultiProjector() const
{
    return Members::noRecvShareMemberOfRoomForMultiProjector(m_registry->participants(),
                                                             publisher());
}

QList<KLFeedPtr> KLConferenceService::audioOnlineMembersForMultiProjectorWithSelf(bool withSelf) const
{
    return Members::audioOnlineMembersForMultiProjectorWithSelf(m_registry->participants(),
                                                                publisher(), withSelf);
}

QString KLConferenceService::audioOfflineUuidsForMultiProjectorWithSelf(bool withSelf) const
{
    return Members::audioOfflineUuidsForMultiProjectorWithSelf(m_registry->participants(),
                                                               publisher(), withSelf);
}

bool KLConferenceService::isOnlyPersonCallNotOnlineForMultiProjector() const
{
    return Members::isOnlyPersonCallNotOnlineForMultiProjector(m_registry->participants());
}

void KLConferenceService::queryProjectorStatus(bool isProjectorWorking,
                                               const QStringList &screenCodeList)
{
    const QString cachedId = shareScreenCacheId();
    if (cachedId.isEmpty() || !isProjectorWorking)
        return;
    bool projectedBySelf = false;
    for (const KLFeedPtr &feed : m_registry->participants()) {
        const auto member = feed ? feed->participant() : nullptr;
        if (!member || !feed->isOnline() || !feed->isMeetingRoom() || member->screenCode.isEmpty())
            continue;
        if (matchesAnyCode(member->screenCode, screenCodeList)) {
            projectedBySelf = true;
            break;
        }
    }
    if (!projectedBySelf)
        return;
    const KLFeedPtr share = m_registry->clientWithUUID(cachedId);
    if (!share) {
        KL_LOG_WARN(kTag, QStringLiteral("projected share %1 is no longer registered").arg(cachedId));
        return;
    }
    KL_LOG_INFO(kTag, QStringLiteral("share %1 is the user's own projection").arg(cachedId));
    share->setProjectorBySelf(true);
    const KLFeedPtr locked = m_registry->lockedFeed();
    if (locked && locked->uuid() == share->uuid()) {
        locked->setIsLocked(false);
        m_registry->setLockedFeed(nullptr);
    }
    m_registry->displayClientAutomatically();
}
