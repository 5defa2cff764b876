#include "conference/registry/KLFeedClient.h"

#include "conference/registry/KLConferenceManagerProtocol.h"
#include "media/KLRTCMediaStream.h"
#include "media/KLRTCMediaVideoRenderView.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "runtime/KLSDKLog.h"

#include <utility>

namespace {

const QString kTag = QStringLiteral("KLFeedClient");
const QString kScreenPrefix = QStringLiteral("screen-");
const QString kContent = QStringLiteral("content");

QString firstNonEmpty(std::initializer_list<QString> candidates)
{
    for (const QString &candidate : candidates) {
        if (!candidate.isEmpty())
            return candidate;
    }
    return QString(""); // never null: callers compare with "" and show it
}

qint64 memberTypeOf(const KLParticipant &participant)
{
    return participant.memberType.toInteger(0);
}

} // namespace

std::shared_ptr<KLFeedClient> KLFeedClient::create(QJsonValue appointmentId, QString uuid,
                                                   std::weak_ptr<KLConferenceManagerProtocol> manager,
                                                   std::shared_ptr<KLParticipant> participant)
{
    return std::shared_ptr<KLFeedClient>(new KLFeedClient(std::move(appointmentId),
                                                          std::move(uuid), std::move(manager),
                                                          std::move(participant)));
}

KLFeedClient::KLFeedClient(QJsonValue appointmentId, QString uuid,
                           std::weak_ptr<KLConferenceManagerProtocol> manager,
                           std::shared_ptr<KLParticipant> participant)
{
    m_state.appointmentId = std::move(appointmentId);
    m_state.uuid = std::move(uuid);
    m_state.conferenceManager = std::move(manager);
    m_state.participant = std::move(participant);
}

KLFeedClient::~KLFeedClient()
{
    // A view may outlive the tile that fed it; leave no stream drawing into it.
    if (m_state.mediaStream)
        m_state.mediaStream->stopPlay();
}

template <class T>
T KLFeedClient::read(T State::*field) const
{
    std::lock_guard lock(m_mutex);
    return m_state.*field;
}

template <class T>
void KLFeedClient::write(T State::*field, T value)
{
    // The old value leaves in `value` and is released after the lock, in case its
    // destructor calls back into this feed.
    std::lock_guard lock(m_mutex);
    std::swap(m_state.*field, value);
}

// ---- Stored fields ------------------------------------------------------------------------

std::weak_ptr<KLConferenceManagerProtocol> KLFeedClient::conferenceManager() const
{
    return read(&State::conferenceManager);
}

void KLFeedClient::setConferenceManager(std::weak_ptr<KLConferenceManagerProtocol> manager)
{
    write(&State::conferenceManager, std::move(manager));
}

std::shared_ptr<KLParticipant> KLFeedClient::participant() const
{
    return read(&State::participant);
}

void KLFeedClient::setParticipant(std::shared_ptr<KLParticipant> participant)
{
    write(&State::participant, std::move(participant));
}

std::shared_ptr<KLRTCMediaStream> KLFeedClient::mediaStream() const
{
    return read(&State::mediaStream);
}

void KLFeedClient::setMediaStream(std::shared_ptr<KLRTCMediaStream> stream)
{
    write(&State::mediaStream, std::move(stream));
}

bool KLFeedClient::isPublisher() const { return read(&State::isPublisher); }
void KLFeedClient::setIsPublisher(bool isPublisher) { write(&State::isPublisher, isPublisher); }

QJsonValue KLFeedClient::appointmentId() const { return read(&State::appointmentId); }
void KLFeedClient::setAppointmentId(const QJsonValue &appointmentId)
{
    write(&State::appointmentId, appointmentId);
}

QString KLFeedClient::uuid() const { return read(&State::uuid); }
void KLFeedClient::setUuid(const QString &uuid) { write(&State::uuid, uuid); }

QString KLFeedClient::display() const
{
    const auto member = participant();
    return firstNonEmpty({member ? member->displayName() : QString(), read(&State::display)});
}

void KLFeedClient::setDisplay(const QString &display) { write(&State::display, display); }

QString KLFeedClient::empId() const
{
    const auto member = participant();
    return firstNonEmpty({read(&State::empId), member ? member->empId : QString()});
}

void KLFeedClient::setEmpId(const QString &empId) { write(&State::empId, empId); }

QString KLFeedClient::mtype() const { return read(&State::mtype); }
void KLFeedClient::setMtype(const QString &mtype) { write(&State::mtype, mtype); }

std::shared_ptr<KLFeedClient> KLFeedClient::associcateShareFeed() const
{
    return read(&State::associcateShareFeed);
}

void KLFeedClient::setAssocicateShareFeed(std::shared_ptr<KLFeedClient> shareFeed)
{
    write(&State::associcateShareFeed, std::move(shareFeed));
}

bool KLFeedClient::audioMuted() const { return read(&State::audioMuted); }

void KLFeedClient::setAudioMuted(bool muted)
{
    write(&State::audioMuted, muted);
    if (const auto stream = mediaStream())
        stream->muteAudio(muted);
}

bool KLFeedClient::videoMuted() const { return read(&State::videoMuted); }

void KLFeedClient::setVideoMuted(bool muted)
{
    write(&State::videoMuted, muted);
    if (const auto stream = mediaStream())
        stream->muteVideo(muted);
}

void KLFeedClient::setIsFreeSwitchFeed(bool flag) { write(&State::isFreeSwitchFeed, flag); }
bool KLFeedClient::isFakeFeed() const { return read(&State::isFakeFeed); }
void KLFeedClient::setIsFakeFeed(bool flag) { write(&State::isFakeFeed, flag); }
bool KLFeedClient::isMcuFeed() const { return read(&State::isMcuFeed); }
void KLFeedClient::setIsMcuFeed(bool flag) { write(&State::isMcuFeed, flag); }
bool KLFeedClient::floorChange() const { return read(&State::floorChange); }
void KLFeedClient::setFloorChange(bool flag) { write(&State::floorChange, flag); }
bool KLFeedClient::isShowInTheBottem() const { return read(&State::isShowInTheBottem); }
void KLFeedClient::setIsShowInTheBottem(bool flag) { write(&State::isShowInTheBottem, flag); }
bool KLFeedClient::isLocked() const { return read(&State::isLocked); }
void KLFeedClient::setIsLocked(bool flag) { write(&State::isLocked, flag); }
bool KLFeedClient::isReceiveVideoByServer() const { return read(&State::isReceiveVideoByServer); }
void KLFeedClient::setIsReceiveVideoByServer(bool flag)
{
    write(&State::isReceiveVideoByServer, flag);
}
bool KLFeedClient::isReceiveVideoByClient() const { return read(&State::isReceiveVideoByClient); }
void KLFeedClient::setIsReceiveVideoByClient(bool flag)
{
    write(&State::isReceiveVideoByClient, flag);
}
bool KLFeedClient::projectorBySelf() const { return read(&State::projectorBySelf); }
void KLFeedClient::setProjectorBySelf(bool flag) { write(&State::projectorBySelf, flag); }
bool KLFeedClient::isExtensionEnter() const { return read(&State::isExtensionEnter); }
void KLFeedClient::setIsExtensionEnter(bool flag) { write(&State::isExtensionEnter, flag); }
bool KLFeedClient::isCellPhoneEnter() const { return read(&State::isCellPhoneEnter); }
void KLFeedClient::setIsCellPhoneEnter(bool flag) { write(&State::isCellPhoneEnter, flag); }

qint64 KLFeedClient::isWeakNet() const { return read(&State::isWeakNet); }
void KLFeedClient::setIsWeakNet(qint64 level) { write(&State::isWeakNet, level); }
qint64 KLFeedClient::netScore() const { return read(&State::netScore); }
void KLFeedClient::setNetScore(qint64 score) { write(&State::netScore, score); }

qint32 KLFeedClient::iLevel() const { return read(&State::iLevel); }

void KLFeedClient::setILevel(qint32 level)
{
    qint32 previous;
    {
        std::lock_guard lock(m_mutex);
        previous = std::exchange(m_state.iLevel, level);
    }
    notifyStat(KLFeedStat::InputLevel, previous, level);
}

qint64 KLFeedClient::packetsSent() const { return read(&State::packetsSent); }

void KLFeedClient::setPacketsSent(qint64 packetsSent)
{
    qint64 previous;
    {
        std::lock_guard lock(m_mutex);
        previous = std::exchange(m_state.packetsSent, packetsSent);
    }
    notifyStat(KLFeedStat::PacketsSent, previous, packetsSent);
}

qint32 KLFeedClient::noAudioCount() const { return read(&State::noAudioCount); }
void KLFeedClient::setNoAudioCount(qint32 count) { write(&State::noAudioCount, count); }
qint32 KLFeedClient::noILevelCount() const { return read(&State::noILevelCount); }
void KLFeedClient::setNoILevelCount(qint32 count) { write(&State::noILevelCount, count); }
bool KLFeedClient::noAudioFlag() const { return read(&State::noAudioFlag); }
void KLFeedClient::setNoAudioFlag(bool flag) { write(&State::noAudioFlag, flag); }
bool KLFeedClient::noILevelFlag() const { return read(&State::noILevelFlag); }
void KLFeedClient::setNoILevelFlag(bool flag) { write(&State::noILevelFlag, flag); }
QDateTime KLFeedClient::speakingDate() const { return read(&State::speakingDate); }
void KLFeedClient::setSpeakingDate(const QDateTime &date) { write(&State::speakingDate, date); }

qint32 KLFeedClient::multiProjectRejectCode() const
{
    return read(&State::multiProjectRejectCode);
}
void KLFeedClient::setMultiProjectRejectCode(qint32 code)
{
    write(&State::multiProjectRejectCode, code);
}
QString KLFeedClient::roomBusyStatusForMultiProjector() const
{
    return read(&State::roomBusyStatusForMultiProjector);
}
void KLFeedClient::setRoomBusyStatusForMultiProjector(const QString &status)
{
    write(&State::roomBusyStatusForMultiProjector, status);
}
bool KLFeedClient::isMultiScreenSender() const { return read(&State::isMultiScreenSender); }
void KLFeedClient::setIsMultiScreenSender(bool flag) { write(&State::isMultiScreenSender, flag); }
bool KLFeedClient::isMultiScreenReceive() const { return read(&State::isMultiScreenReceive); }
void KLFeedClient::setIsMultiScreenReceive(bool flag) { write(&State::isMultiScreenReceive, flag); }
bool KLFeedClient::isMultiScreenAccept() const { return read(&State::isMultiScreenAccept); }
void KLFeedClient::setIsMultiScreenAccept(bool flag) { write(&State::isMultiScreenAccept, flag); }

void KLFeedClient::setStatsObserver(KLFeedStatsObserver observer)
{
    write(&State::statsObserver, std::move(observer));
}

void KLFeedClient::notifyStat(KLFeedStat stat, qint64 oldValue, qint64 newValue)
{
    // A copy, so the observer may replace itself while it runs.
    const KLFeedStatsObserver observer = read(&State::statsObserver);
    if (observer)
        observer(*this, stat, oldValue, newValue);
}

// ---- Derived values -----------------------------------------------------------------------

std::shared_ptr<KLCallState> KLFeedClient::callState() const
{
    const auto member = participant();
    return member ? member->callState() : nullptr;
}

QString KLFeedClient::participantUUID() const
{
    QString id = uuid();
    if (isShareScreen())
        id.remove(kScreenPrefix);
    return id;
}

QString KLFeedClient::vanName() const
{
    const auto member = participant();
    if (!member)
        return firstNonEmpty({display()});
    return firstNonEmpty({member->aliasName, member->lastName, display()});
}

bool KLFeedClient::isShareScreen() const
{
    std::lock_guard lock(m_mutex);
    return isShareScreenLocked();
}

// Asked for every feed on every choice of the main view: compared in place, no copies.
bool KLFeedClient::isShareScreenLocked() const
{
    const QString &type = m_state.mtype;
    const QString &id = m_state.uuid;
    return type == QLatin1String("screen") || id.startsWith(kScreenPrefix) || type == kContent
           || id == kContent;
}

bool KLFeedClient::isOnline() const
{
    // One lock and no reference counting: the registry asks this of every feed per choice.
    std::lock_guard lock(m_mutex);
    if (isShareScreenLocked())
        return true;
    const auto &member = m_state.participant;
    return member && member->callStateOnline() == 1;
}

bool KLFeedClient::isExtensionAndCellPhoneOnline() const
{
    const auto state = callState();
    return state && state->online == 1 && state->extension == 1 && state->cellphone == 1;
}

bool KLFeedClient::isCalling() const
{
    const auto state = callState();
    return state && state->ringing == 1;
}

bool KLFeedClient::isSpeaking() const
{
    const auto state = callState();
    return state && state->mute == 2;
}

bool KLFeedClient::isMeetingRoom() const
{
    std::lock_guard lock(m_mutex);
    const auto &member = m_state.participant;
    return member && memberTypeOf(*member) == 2;
}

bool KLFeedClient::isCisioRoom() const
{
    const auto member = participant();
    return member && memberTypeOf(*member) == 2 && member->roomType.toInteger(0) == 1;
}

bool KLFeedClient::isMultiProjectorAudioOpen() const
{
    const auto member = participant();
    const auto state = callState();
    if (!member || !state || state->online != 1)
        return false;
    switch (memberTypeOf(*member)) {
    case 1:
        return state->cellphone == 1;
    case 2:
        return state->extension == 1;
    default:
        return false;
    }
}

bool KLFeedClient::isMultiProjectorSender() const
{
    const auto state = callState();
    return isMultiScreenSender() || (state && state->multiScreen == 2);
}

bool KLFeedClient::isMultiProjectorReceive() const
{
    const auto state = callState();
    return isMultiScreenReceive() || (state && state->multiScreen == 1);
}

bool KLFeedClient::isMultiProjectorAccept() const { return isMultiScreenAccept(); }

bool KLFeedClient::isFreeSwitchFeed() const { return uuid() == QLatin1String("freeswitch"); }

bool KLFeedClient::hasRTCMedia() const
{
    // The engine interface has no "is RTC media" query; a stream with a real track is one.
    const auto stream = mediaStream();
    return stream && (!stream->audioTrackId().isEmpty() || !stream->videoTrackId().isEmpty());
}

bool KLFeedClient::hasVideoMedia() const
{
    const auto stream = mediaStream();
    return stream && !stream->videoTrackId().isEmpty();
}

bool KLFeedClient::audioEnabled() const
{
    if (!isPublisher())
        return !audioMuted();
    const auto stream = mediaStream();
    return stream && stream->isEnable(QStringLiteral("audio"));
}

bool KLFeedClient::videoEnabled() const
{
    if (!isPublisher())
        return !videoMuted();
    const auto stream = mediaStream();
    return stream && stream->isEnable(QStringLiteral("video"));
}

// ---- Rendering and the stream -------------------------------------------------------------

void KLFeedClient::addRenderer(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    if (!view || !hasRTCMedia())
        return;
    if (const auto stream = mediaStream())
        stream->playWithView(view);
}

void KLFeedClient::addPreview(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    if (!view || !hasRTCMedia())
        return;
    if (const auto stream = mediaStream())
        stream->preVideoWithView(view);
}

void KLFeedClient::stopAllRender()
{
    if (const auto stream = mediaStream())
        stream->stopPlay();
}

void KLFeedClient::removeRenderer(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    if (!view)
        return;
    if (hasRTCMedia()) {
        if (const auto stream = mediaStream())
            stream->stopPlayWithView(view);
        return;
    }
    // Without media the view only shows this feed's name; forget the binding so the tile
    // can be reused for another feed.
    if (view->renderStreamId() == uuid())
        view->setRenderStreamId(QString());
}

void KLFeedClient::enableAudioTrack(bool muted)
{
    if (const auto stream = mediaStream())
        stream->muteAudio(muted);
}

void KLFeedClient::enableVideoTrack(bool muted)
{
    if (const auto stream = mediaStream())
        stream->muteVideo(muted);
}

void KLFeedClient::close()
{
    std::shared_ptr<KLRTCMediaStream> stream;
    {
        std::lock_guard lock(m_mutex);
        stream = std::exchange(m_state.mediaStream, nullptr);
        m_state.isWeakNet = 1;
        m_state.netScore = 4;
        m_state.noAudioCount = 0;
        m_state.noILevelCount = 0;
        m_state.packetsSent = 0;
        m_state.noAudioFlag = false;
        m_state.noILevelFlag = false;
        m_state.isLocked = false;
        m_state.isReceiveVideoByClient = false;
        m_state.projectorBySelf = false;
        m_state.isReceiveVideoByServer = true;
    }
    if (stream) {
        KL_LOG_INFO(kTag, QStringLiteral("close stream %1").arg(stream->getID()));
        stream->close();
    }
}
