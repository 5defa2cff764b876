#include "media/fake/KLFakeMediaSDK.h"

#include <algorithm>

namespace {

QJsonValue streamArg(const std::shared_ptr<KLRTCMediaStream> &stream)
{
    return stream ? QJsonValue(stream->getID()) : QJsonValue(QJsonValue::Null);
}

QJsonValue viewArg(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    return view ? QJsonValue(view->renderStreamId()) : QJsonValue(QJsonValue::Null);
}

} // namespace

// ---- KLFakeMediaCallLog ------------------------------------------------------------------

void KLFakeMediaCallLog::record(const QString &object, const QString &name, const QJsonArray &args)
{
    std::lock_guard lock(m_mutex);
    m_calls.push_back({object, name, args});
}

std::vector<KLFakeMediaCall> KLFakeMediaCallLog::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

std::vector<KLFakeMediaCall> KLFakeMediaCallLog::calls(const QString &name) const
{
    std::lock_guard lock(m_mutex);
    std::vector<KLFakeMediaCall> found;
    std::copy_if(m_calls.begin(), m_calls.end(), std::back_inserter(found),
                 [&](const KLFakeMediaCall &call) { return call.name == name; });
    return found;
}

std::vector<KLFakeMediaCall> KLFakeMediaCallLog::callsOn(const QString &object) const
{
    std::lock_guard lock(m_mutex);
    std::vector<KLFakeMediaCall> found;
    std::copy_if(m_calls.begin(), m_calls.end(), std::back_inserter(found),
                 [&](const KLFakeMediaCall &call) { return call.object == object; });
    return found;
}

int KLFakeMediaCallLog::count(const QString &name) const
{
    std::lock_guard lock(m_mutex);
    return int(std::count_if(m_calls.begin(), m_calls.end(),
                             [&](const KLFakeMediaCall &call) { return call.name == name; }));
}

std::optional<KLFakeMediaCall> KLFakeMediaCallLog::last(const QString &name) const
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_calls.rbegin(); it != m_calls.rend(); ++it) {
        if (it->name == name)
            return *it;
    }
    return std::nullopt;
}

QStringList KLFakeMediaCallLog::names(const QString &object) const
{
    std::lock_guard lock(m_mutex);
    QStringList found;
    for (const auto &call : m_calls) {
        if (object.isEmpty() || call.object == object)
            found << call.name;
    }
    return found;
}

void KLFakeMediaCallLog::clear()
{
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

// ---- KLFakeMediaStream -------------------------------------------------------------------

KLFakeMediaStream::KLFakeMediaStream(std::shared_ptr<KLFakeMediaCallLog> log, const QString &label,
                                     const QJsonObject &mediaDictionary,
                                     std::weak_ptr<KLRTCMediaStreamDelegate> delegate)
    : KLFakeMediaObject(std::move(log), label), m_mediaDictionary(mediaDictionary),
      m_delegate(std::move(delegate))
{
    m_hasScreen = mediaDictionary.value(QLatin1String("screen")).toBool();
    m_fakeStream = mediaDictionary.value(QLatin1String("fakeStream")).toBool();
    if (mediaDictionary.value(QLatin1String("audio")).toBool()) {
        m_audioTrackId = label + QLatin1String("-audio");
        m_audioEnabled = true;
    }
    if (mediaDictionary.value(QLatin1String("video")).toBool()) {
        m_videoTrackId = label + QLatin1String("-video");
        m_videoEnabled = true;
    }
}

void KLFakeMediaStream::setID(const QString &id)
{
    std::lock_guard lock(m_mutex);
    m_id = id;
}

void KLFakeMediaStream::setDisplay(const QString &display)
{
    std::lock_guard lock(m_mutex);
    m_display = display;
}

void KLFakeMediaStream::setHasScreen(bool hasScreen)
{
    std::lock_guard lock(m_mutex);
    m_hasScreen = hasScreen;
}

void KLFakeMediaStream::setFakeStream(bool fake)
{
    std::lock_guard lock(m_mutex);
    m_fakeStream = fake;
}

void KLFakeMediaStream::setTrackId(const QString &kind, const QString &trackId)
{
    std::lock_guard lock(m_mutex);
    if (kind == QLatin1String("audio"))
        m_audioTrackId = trackId;
    else if (kind == QLatin1String("video"))
        m_videoTrackId = trackId;
}

void KLFakeMediaStream::setEnabled(const QString &kind, bool enabled)
{
    std::lock_guard lock(m_mutex);
    if (kind == QLatin1String("audio"))
        m_audioEnabled = enabled;
    else if (kind == QLatin1String("video"))
        m_videoEnabled = enabled;
}

bool KLFakeMediaStream::raiseState(int state, const QJsonObject &info)
{
    auto delegate = m_delegate.lock();
    if (!delegate)
        return false;
    delegate->rtcStream(shared_from_this(), state, info);
    return true;
}

int KLFakeMediaStream::deliverFrame(const KLRTCMediaVideoFrame &frame)
{
    const auto targets = views();
    for (const auto &view : targets)
        view->renderFrame(frame);
    return int(targets.size());
}

std::vector<std::shared_ptr<KLRTCMediaVideoRenderView>> KLFakeMediaStream::views() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::shared_ptr<KLRTCMediaVideoRenderView>> live;
    for (const auto &weak : m_views) {
        if (auto view = weak.lock())
            live.push_back(std::move(view));
    }
    return live;
}

bool KLFakeMediaStream::isClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

void KLFakeMediaStream::initStream()
{
    record(QStringLiteral("initStream"));
}

QString KLFakeMediaStream::getID() const
{
    std::lock_guard lock(m_mutex);
    return m_id;
}

QString KLFakeMediaStream::display() const
{
    std::lock_guard lock(m_mutex);
    return m_display;
}

bool KLFakeMediaStream::hasScreen() const
{
    std::lock_guard lock(m_mutex);
    return m_hasScreen;
}

bool KLFakeMediaStream::isFakeStream() const
{
    std::lock_guard lock(m_mutex);
    return m_fakeStream;
}

bool KLFakeMediaStream::isEnable(const QString &kind) const
{
    std::lock_guard lock(m_mutex);
    if (kind == QLatin1String("audio"))
        return !m_audioTrackId.isEmpty() && m_audioEnabled;
    if (kind == QLatin1String("video"))
        return !m_videoTrackId.isEmpty() && m_videoEnabled;
    return false;
}

QString KLFakeMediaStream::audioTrackId() const
{
    std::lock_guard lock(m_mutex);
    return m_audioTrackId;
}

QString KLFakeMediaStream::videoTrackId() const
{
    std::lock_guard lock(m_mutex);
    return m_videoTrackId;
}

void KLFakeMediaStream::muteAudio(bool muted)
{
    setEnabled(QStringLiteral("audio"), !muted);
    record(QStringLiteral("muteAudio"), {muted});
}

void KLFakeMediaStream::muteVideo(bool muted)
{
    setEnabled(QStringLiteral("video"), !muted);
    record(QStringLiteral("muteVideo"), {muted});
}

void KLFakeMediaStream::setBeautyFlag(bool enabled)
{
    record(QStringLiteral("setBeautyFlag"), {enabled});
}

void KLFakeMediaStream::addView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    if (!view)
        return;
    std::lock_guard lock(m_mutex);
    std::erase_if(m_views, [&](const auto &weak) {
        auto live = weak.lock();
        return !live || live == view;
    });
    m_views.push_back(view);
}

void KLFakeMediaStream::playWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    addView(view);
    record(QStringLiteral("playWithView"), {viewArg(view)});
}

void KLFakeMediaStream::preVideoWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    addView(view);
    record(QStringLiteral("preVideoWithView"), {viewArg(view)});
}

void KLFakeMediaStream::stopPlay()
{
    {
        std::lock_guard lock(m_mutex);
        m_views.clear();
    }
    record(QStringLiteral("stopPlay"));
}

void KLFakeMediaStream::stopPlayWithView(const std::shared_ptr<KLRTCMediaVideoRenderView> &view)
{
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_views, [&](const auto &weak) {
            auto live = weak.lock();
            return !live || live == view;
        });
    }
    record(QStringLiteral("stopPlayWithView"), {viewArg(view)});
}

void KLFakeMediaStream::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_views.clear();
    }
    record(QStringLiteral("close"));
}

// ---- KLFakeMediaConnection ---------------------------------------------------------------

KLFakeMediaConnection::KLFakeMediaConnection(std::shared_ptr<KLFakeMediaCallLog> log,
                                             const QString &label, const QJsonObject &connectionParam,
                                             int mode, int transport, bool openDataChannel,
                                             bool useSimulcast,
                                             std::weak_ptr<KLRTCMediaConnectionDelegate> delegate)
    : KLFakeMediaObject(std::move(log), label), m_param(connectionParam), m_mode(mode),
      m_transport(transport), m_openDataChannel(openDataChannel), m_useSimulcast(useSimulcast),
      m_delegate(std::move(delegate))
{
}

bool KLFakeMediaConnection::raiseEvent(int event, const KLRTCMediaEventInfo &eventInfo)
{
    auto delegate = m_delegate.lock();
    if (!delegate)
        return false;
    delegate->rtcConnection(shared_from_this(), event, eventInfo);
    return true;
}

void KLFakeMediaConnection::setSpeakerDeviceStatus(const QJsonObject &status)
{
    std::lock_guard lock(m_mutex);
    m_speakerDeviceStatus = status;
}

void KLFakeMediaConnection::setStatusForMedia(const QJsonObject &status)
{
    std::lock_guard lock(m_mutex);
    m_statusForMedia = status;
}

void KLFakeMediaConnection::clearStatusForMedia()
{
    std::lock_guard lock(m_mutex);
    m_statusForMedia.reset();
}

int KLFakeMediaConnection::completeStatusForMedia(const QJsonObject &status)
{
    std::vector<KLRTCMediaStatusHandler> waiting;
    {
        std::lock_guard lock(m_mutex);
        waiting.swap(m_pendingStatus);
    }
    for (const auto &handler : waiting)
        handler(status);
    return int(waiting.size());
}

void KLFakeMediaConnection::setAecDumpFlagForTest(bool enabled)
{
    record(QStringLiteral("setAecDumpFlagForTest"), {enabled});
}

void KLFakeMediaConnection::connect()
{
    record(QStringLiteral("connect"));
}

void KLFakeMediaConnection::disconnect()
{
    record(QStringLiteral("disconnect"));
}

void KLFakeMediaConnection::connectIceRestart()
{
    record(QStringLiteral("connectIceRestart"));
}

void KLFakeMediaConnection::publishStream(const std::shared_ptr<KLRTCMediaStream> &stream)
{
    record(QStringLiteral("publishStream"), {streamArg(stream)});
}

void KLFakeMediaConnection::unPublishStream(const std::shared_ptr<KLRTCMediaStream> &stream)
{
    record(QStringLiteral("unPublishStream"), {streamArg(stream)});
}

void KLFakeMediaConnection::subscribe(const std::shared_ptr<KLRTCMediaStream> &stream)
{
    record(QStringLiteral("subscribe"), {streamArg(stream)});
}

void KLFakeMediaConnection::unsubscribe(const std::shared_ptr<KLRTCMediaStream> &stream)
{
    record(QStringLiteral("unsubscribe"), {streamArg(stream)});
}

void KLFakeMediaConnection::muteSpeaker(bool muted)
{
    record(QStringLiteral("muteSpeaker"), {muted});
}

void KLFakeMediaConnection::enableHDVideo(const QString &streamId)
{
    record(QStringLiteral("enableHDVideo"), {streamId});
}

void KLFakeMediaConnection::streamVideo(const std::shared_ptr<KLRTCMediaStream> &stream, bool enabled)
{
    record(QStringLiteral("streamVideo"), {streamArg(stream), enabled});
}

void KLFakeMediaConnection::changeAudioInputDevice(const QString &deviceId)
{
    record(QStringLiteral("changeAudioInputDevice"), {deviceId});
}

void KLFakeMediaConnection::changeAudioOutputDevice(const QString &deviceId)
{
    record(QStringLiteral("changeAudioOutputDevice"), {deviceId});
}

void KLFakeMediaConnection::changeVideoInputDevice(const QString &deviceId, int width, int height)
{
    record(QStringLiteral("changeVideoInputDevice"), {deviceId, width, height});
}

void KLFakeMediaConnection::sendData(const QJsonObject &data)
{
    record(QStringLiteral("sendData"), {data});
}

void KLFakeMediaConnection::videoStreamActionWithMain(bool main, bool small, bool hasScreen,
                                                      const QJsonValue &screen)
{
    record(QStringLiteral("videoStreamActionWithMain"), {main, small, hasScreen, screen});
}

void KLFakeMediaConnection::setConfigIntVar(int variable, int value)
{
    record(QStringLiteral("setConfigIntVar"), {variable, value});
}

QJsonObject KLFakeMediaConnection::getSpeakerDeviceStatus()
{
    record(QStringLiteral("getSpeakerDeviceStatus"));
    std::lock_guard lock(m_mutex);
    return m_speakerDeviceStatus;
}

void KLFakeMediaConnection::getStatusForMedia(const QString &media,
                                              KLRTCMediaStatusHandler completionHandler)
{
    record(QStringLiteral("getStatusForMedia"),
           {media.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(media)});
    std::optional<QJsonObject> answer;
    {
        std::lock_guard lock(m_mutex);
        answer = m_statusForMedia;
        if (!answer && completionHandler)
            m_pendingStatus.push_back(completionHandler);
    }
    if (answer && completionHandler)
        completionHandler(*answer);
}

// ---- KLFakeMediaSDK ----------------------------------------------------------------------

KLFakeMediaSDK::KLFakeMediaSDK()
    : m_log(std::make_shared<KLFakeMediaCallLog>()),
      m_devices(std::make_shared<KLFakeMediaDeviceManager>(m_log)),
      m_settings(std::make_shared<KLFakeMediaSettingStore>(m_log)),
      m_messages(std::make_shared<KLFakeCommonWebRtcMsgManager>(m_log))
{
}

std::shared_ptr<KLFakeMediaSDK> KLFakeMediaSDK::installNew()
{
    auto engine = std::make_shared<KLFakeMediaSDK>();
    KLRTCMediaSDK::install(engine);
    return engine;
}

std::vector<std::shared_ptr<KLFakeMediaConnection>> KLFakeMediaSDK::connections() const
{
    std::lock_guard lock(m_mutex);
    return m_connections;
}

std::shared_ptr<KLFakeMediaConnection> KLFakeMediaSDK::lastConnection() const
{
    std::lock_guard lock(m_mutex);
    return m_connections.empty() ? nullptr : m_connections.back();
}

std::vector<std::shared_ptr<KLFakeMediaStream>> KLFakeMediaSDK::streams() const
{
    std::lock_guard lock(m_mutex);
    return m_streams;
}

std::shared_ptr<KLFakeMediaStream> KLFakeMediaSDK::lastStream() const
{
    std::lock_guard lock(m_mutex);
    return m_streams.empty() ? nullptr : m_streams.back();
}

std::shared_ptr<KLFakeMediaLocalTurnDetect> KLFakeMediaSDK::lastTurnDetect() const
{
    std::lock_guard lock(m_mutex);
    return m_lastTurnDetect;
}

std::shared_ptr<KLFakeMediaStream> KLFakeMediaSDK::makeRemoteStream(const QString &id,
                                                                    const QString &display)
{
    auto stream = std::make_shared<KLFakeMediaStream>(m_log, QStringLiteral("remote:") + id,
                                                      QJsonObject(),
                                                      std::weak_ptr<KLRTCMediaStreamDelegate>());
    stream->setID(id);
    stream->setDisplay(display);
    stream->setTrackId(QStringLiteral("audio"), id + QLatin1String("-audio"));
    stream->setTrackId(QStringLiteral("video"), id + QLatin1String("-video"));
    stream->setEnabled(QStringLiteral("audio"), true);
    stream->setEnabled(QStringLiteral("video"), true);
    stream->setHasScreen(id.startsWith(QLatin1String("screen-")) || id == QLatin1String("content"));
    return stream;
}

std::shared_ptr<KLRTCMediaConnection>
KLFakeMediaSDK::createConnection(const QJsonObject &connectionParam, int mode, int transport,
                                 bool openDataChannel, bool useSimulcast,
                                 std::weak_ptr<KLRTCMediaConnectionDelegate> delegate)
{
    std::shared_ptr<KLFakeMediaConnection> connection;
    {
        std::lock_guard lock(m_mutex);
        connection = std::make_shared<KLFakeMediaConnection>(
            m_log, QStringLiteral("connection#%1").arg(m_nextId++), connectionParam, mode,
            transport, openDataChannel, useSimulcast, std::move(delegate));
        m_connections.push_back(connection);
    }
    m_log->record(QStringLiteral("engine"), QStringLiteral("createConnection"),
                  {connectionParam, mode, transport, openDataChannel, useSimulcast});
    return connection;
}

std::shared_ptr<KLRTCMediaStream>
KLFakeMediaSDK::createStream(const QJsonObject &mediaDictionary,
                             std::weak_ptr<KLRTCMediaStreamDelegate> delegate)
{
    std::shared_ptr<KLFakeMediaStream> stream;
    {
        std::lock_guard lock(m_mutex);
        stream = std::make_shared<KLFakeMediaStream>(
            m_log, QStringLiteral("stream#%1").arg(m_nextId++), mediaDictionary,
            std::move(delegate));
        m_streams.push_back(stream);
    }
    m_log->record(QStringLiteral("engine"), QStringLiteral("createStream"), {mediaDictionary});
    return stream;
}

std::shared_ptr<KLRTCMediaLocalTurnDetect> KLFakeMediaSDK::createLocalTurnDetect()
{
    std::shared_ptr<KLFakeMediaLocalTurnDetect> detect;
    {
        std::lock_guard lock(m_mutex);
        detect = std::make_shared<KLFakeMediaLocalTurnDetect>(
            m_log, QStringLiteral("turnDetect#%1").arg(m_nextId++));
        m_lastTurnDetect = detect;
    }
    m_log->record(QStringLiteral("engine"), QStringLiteral("createLocalTurnDetect"));
    return detect;
}
