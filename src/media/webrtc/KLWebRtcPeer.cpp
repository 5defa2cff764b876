#include "media/webrtc/KLWebRtcPeer.h"

#include "media/KLRTCMediaLogging.h"

#include <QFile>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QStringList>
#include <QUrl>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/sdp/sdp.h>
#include <gst/video/video.h>
#define GST_USE_UNSTABLE_API
#include <gst/webrtc/webrtc.h>
#include <nice/agent.h>

#include <cmath>
#include <mutex>
#include <thread>

namespace {

using WeakPeer = std::weak_ptr<KLWebRtcPeer>;

gpointer weakOf(const std::shared_ptr<KLWebRtcPeer> &peer)
{
    return new WeakPeer(peer);
}

void freeWeak(gpointer data)
{
    delete static_cast<WeakPeer *>(data);
}

void freeWeakClosure(gpointer data, GClosure *)
{
    freeWeak(data);
}

std::shared_ptr<KLWebRtcPeer> lockPeer(gpointer data)
{
    return static_cast<WeakPeer *>(data)->lock();
}

QString nonEmpty(const QString &text, const char *fallback)
{
    return text.isEmpty() ? QString::fromLatin1(fallback) : text;
}

/// Sets the pipeline to NULL and lets go of it off the caller's thread: a streaming thread of
/// the pipeline itself may hold the last reference to the peer.
void releasePipeline(GstElement *pipeline, bool wait)
{
    if (!pipeline)
        return;
    auto work = [pipeline] {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    };
    if (wait)
        work();
    else
        std::thread(work).detach();
}

QJsonValue jsonOf(const GValue *value)
{
    if (G_VALUE_HOLDS_UINT(value))
        return double(g_value_get_uint(value));
    if (G_VALUE_HOLDS_INT(value))
        return g_value_get_int(value);
    if (G_VALUE_HOLDS_UINT64(value))
        return double(g_value_get_uint64(value));
    if (G_VALUE_HOLDS_INT64(value))
        return double(g_value_get_int64(value));
    if (G_VALUE_HOLDS_DOUBLE(value))
        return g_value_get_double(value);
    if (G_VALUE_HOLDS_BOOLEAN(value))
        return bool(g_value_get_boolean(value));
    if (G_VALUE_HOLDS_STRING(value))
        return QString::fromUtf8(g_value_get_string(value));
    if (G_VALUE_HOLDS_ENUM(value))
        return g_value_get_enum(value);
    return QJsonValue(QJsonValue::Undefined);
}

QJsonObject jsonOf(const GstStructure *structure)
{
    QJsonObject object;
    const int n = gst_structure_n_fields(structure);
    for (int i = 0; i < n; ++i) {
        const char *name = gst_structure_nth_field_name(structure, guint(i));
        const QJsonValue value = jsonOf(gst_structure_get_value(structure, name));
        if (!value.isUndefined())
            object.insert(QString::fromUtf8(name), value);
    }
    return object;
}

bool hasElement(const char *factory)
{
    GstElementFactory *found = gst_element_factory_find(factory);
    if (!found)
        return false;
    gst_object_unref(found);
    return true;
}

/// "stun:host:port" / "turn:host:port?transport=udp" with credentials → webrtcbin's URI form.
QString gstIceUri(const QString &url, const QString &user, const QString &password)
{
    const int colon = url.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return {};
    const QString scheme = url.left(colon).toLower();
    QString rest = url.mid(colon + 1);
    if (rest.startsWith(QLatin1String("//")))
        rest = rest.mid(2);
    rest = rest.section(QLatin1Char('?'), 0, 0);
    if (scheme == QLatin1String("stun"))
        return QStringLiteral("stun://") + rest;
    if (scheme == QLatin1String("turn") || scheme == QLatin1String("turns"))
        return scheme + QStringLiteral("://") + QString::fromUtf8(QUrl::toPercentEncoding(user)) + QLatin1Char(':')
            + QString::fromUtf8(QUrl::toPercentEncoding(password)) + QLatin1Char('@') + rest;
    return {};
}

QString hostOfIceUrl(const QString &url)
{
    QString rest = url.section(QLatin1Char(':'), 1);
    if (rest.startsWith(QLatin1String("//")))
        rest = rest.mid(2);
    rest = rest.section(QLatin1Char('?'), 0, 0);
    if (rest.startsWith(QLatin1Char('[')))
        return rest.mid(1, rest.indexOf(QLatin1Char(']')) - 1);
    return rest.section(QLatin1Char(':'), 0, 0);
}

constexpr guint kReceiveLatencyMs = 60;

} // namespace

bool KLWebRtcPeer::initialise(QString *error)
{
    static std::once_flag once;
    static QString missing;
    std::call_once(once, [] {
        GError *initError = nullptr;
        if (!gst_init_check(nullptr, nullptr, &initError)) {
            missing = QStringLiteral("GStreamer: %1").arg(initError ? QString::fromUtf8(initError->message) : QString());
            g_clear_error(&initError);
            return;
        }
        QStringList absent;
        for (const char *factory : {"webrtcbin", "videotestsrc", "audiotestsrc", "vp8enc", "vp8dec", "rtpvp8pay",
                                    "rtpvp8depay", "opusenc", "opusdec", "rtpopuspay", "rtpopusdepay", "level",
                                    "textoverlay", "videoconvert", "appsink", "nicesrc"}) {
            if (!hasElement(factory))
                absent << QString::fromLatin1(factory);
        }
        if (!absent.isEmpty())
            missing = QStringLiteral("GStreamer elements missing: %1").arg(absent.join(QStringLiteral(", ")));
    });
    if (error)
        *error = missing;
    return missing.isEmpty();
}

bool KLWebRtcPeer::isLoopbackHost(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    QHostAddress address;
    return address.setAddress(host) && address.isLoopback();
}

static bool loopbackCandidate(const QString &candidate)
{
    // candidate:<foundation> <component> <transport> <priority> <address> <port> typ ...
    const QStringList fields = QString(candidate).remove(QStringLiteral("a=")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return fields.size() > 5 && KLWebRtcPeer::isLoopbackHost(fields.at(4));
}

QString KLWebRtcPeer::loopbackCandidatesOnly(const QString &sdp)
{
    QStringList kept;
    const QStringList lines = sdp.split(QStringLiteral("\r\n"));
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("a=candidate:")) && !loopbackCandidate(line))
            continue;
        kept << line;
    }
    return kept.join(QStringLiteral("\r\n"));
}

std::shared_ptr<KLWebRtcPeer> KLWebRtcPeer::create(const KLWebRtcPeerConfig &config, KLWebRtcPeerCallbacks callbacks)
{
    return std::shared_ptr<KLWebRtcPeer>(new KLWebRtcPeer(config, std::move(callbacks)));
}

KLWebRtcPeer::KLWebRtcPeer(const KLWebRtcPeerConfig &config, KLWebRtcPeerCallbacks callbacks)
    : m_config(config),
      m_callbacks(std::move(callbacks)),
      m_audioSsrc(QRandomGenerator::global()->bounded(1u, 0x7fffffffu)),
      m_videoSsrc(QRandomGenerator::global()->bounded(1u, 0x7fffffffu))
{
}

KLWebRtcPeer::~KLWebRtcPeer()
{
    if (m_channel)
        g_object_unref(m_channel);
    if (m_stopped && m_pipeline)
        gst_object_unref(m_pipeline); // at NULL already: no streaming thread is left
    else
        releasePipeline(m_pipeline, false);
}

KLWebRtcPeerCallbacks KLWebRtcPeer::callbacks() const
{
    std::lock_guard lock(m_mutex);
    return m_callbacks;
}

void KLWebRtcPeer::setSignalling(const KLWebRtcPeerCallbacks &callbacks)
{
    std::lock_guard lock(m_mutex);
    if (callbacks.localDescription)
        m_callbacks.localDescription = callbacks.localDescription;
    if (callbacks.localCandidate)
        m_callbacks.localCandidate = callbacks.localCandidate;
    if (callbacks.videoFrame)
        m_callbacks.videoFrame = callbacks.videoFrame;
    if (callbacks.dataMessage)
        m_callbacks.dataMessage = callbacks.dataMessage;
    if (callbacks.iceState)
        m_callbacks.iceState = callbacks.iceState;
    if (callbacks.error)
        m_callbacks.error = callbacks.error;
}

void KLWebRtcPeer::stop()
{
    // The pipeline (and the elements in it) stays referenced until the peer goes, so that a
    // call racing with stop() meets a stopped element, never a freed one.
    GstElement *pipeline = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped)
            return;
        m_stopped = true;
        pipeline = m_pipeline;
    }
    if (pipeline)
        gst_element_set_state(pipeline, GST_STATE_NULL);
}

bool KLWebRtcPeer::stopped() const
{
    std::lock_guard lock(m_mutex);
    return m_stopped;
}

static GstBusSyncReply busHandler(GstBus *, GstMessage *message, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onBusMessage(message);
    return GST_BUS_DROP;
}

static void iceCandidate(GstElement *, guint mline, gchar *candidate, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onIceCandidate(mline, candidate);
}

static void gatheringChanged(GObject *, GParamSpec *, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onGatheringState();
}

static void iceStateChanged(GObject *, GParamSpec *, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onIceConnectionState();
}

static void padAdded(GstElement *, GstPad *pad, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onPadAdded(pad);
}

static void dataChannelAdded(GstElement *, GstWebRTCDataChannel *channel, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onDataChannel(channel);
}

static void dataString(GstWebRTCDataChannel *, gchar *text, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onDataString(text);
}

static GstFlowReturn newSample(GstAppSink *sink, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onSample(sink);
    return GST_FLOW_OK;
}

static GstPadProbeReturn capsProbe(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    if (event && GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
        if (auto peer = lockPeer(data))
            peer->onCaps();
        return GST_PAD_PROBE_REMOVE;
    }
    return GST_PAD_PROBE_OK;
}

bool KLWebRtcPeer::start()
{
    QString error;
    if (!initialise(&error)) {
        KL_ENGINE_LOG(8, error);
        return false;
    }
    const bool built = m_config.publisher ? buildPublisher() : buildSubscriber();
    if (!built)
        return false;
    auto self = shared_from_this();
    GstBus *bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(bus, busHandler, weakOf(self), freeWeak);
    gst_object_unref(bus);
    g_object_set(m_webrtc, "bundle-policy", GST_WEBRTC_BUNDLE_POLICY_MAX_BUNDLE, nullptr);
    g_signal_connect_data(m_webrtc, "on-ice-candidate", G_CALLBACK(iceCandidate), weakOf(self), freeWeakClosure, GConnectFlags(0));
    g_signal_connect_data(m_webrtc, "notify::ice-gathering-state", G_CALLBACK(gatheringChanged), weakOf(self), freeWeakClosure, GConnectFlags(0));
    g_signal_connect_data(m_webrtc, "notify::ice-connection-state", G_CALLBACK(iceStateChanged), weakOf(self), freeWeakClosure, GConnectFlags(0));
    g_signal_connect_data(m_webrtc, "pad-added", G_CALLBACK(padAdded), weakOf(self), freeWeakClosure, GConnectFlags(0));
    g_signal_connect_data(m_webrtc, "on-data-channel", G_CALLBACK(dataChannelAdded), weakOf(self), freeWeakClosure, GConnectFlags(0));
    configureIce(m_config);
    if (gst_element_set_state(m_pipeline, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
        KL_ENGINE_LOG(8, QStringLiteral("media pipeline cannot start"));
        return false;
    }
    if (m_config.publisher && m_config.dataChannel)
        openDataChannel();
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        KL_ENGINE_LOG(8, QStringLiteral("media pipeline cannot play"));
        return false;
    }
    return true;
}

void KLWebRtcPeer::configureIce(const KLWebRtcPeerConfig &config)
{
    if (!m_webrtc || stopped())
        return;
    m_config.iceServers = config.iceServers;
    m_config.loopbackOnly = config.loopbackOnly;
    m_config.relayOnly = config.relayOnly;
    if (m_config.loopbackOnly) {
        // libnice leaves loopback interfaces out; naming the address both allows and confines
        // gathering to it, so nothing is ever gathered on the machine's other interfaces.
        GstWebRTCICE *ice = nullptr;
        g_object_get(m_webrtc, "ice-agent", &ice, nullptr);
        NiceAgent *agent = nullptr;
        if (ice && g_object_class_find_property(G_OBJECT_GET_CLASS(ice), "agent"))
            g_object_get(ice, "agent", &agent, nullptr);
        if (agent) {
            NiceAddress address;
            nice_address_init(&address);
            nice_address_set_from_string(&address, "127.0.0.1");
            nice_agent_add_local_address(agent, &address);
            g_object_unref(agent);
        } else {
            KL_ENGINE_LOG(8, QStringLiteral("ICE agent not reachable: loopback gathering impossible"));
        }
        if (ice)
            gst_object_unref(ice);
    }
    bool stunSet = false;
    for (const QJsonValue &entry : std::as_const(m_config.iceServers)) {
        const QJsonObject server = entry.toObject();
        QStringList urls;
        const QJsonValue urlValue = server.value(QLatin1String("urls")).isUndefined() ? server.value(QLatin1String("url"))
                                                                                      : server.value(QLatin1String("urls"));
        if (urlValue.isArray()) {
            for (const QJsonValue &url : urlValue.toArray())
                urls << url.toString();
        } else {
            urls << urlValue.toString();
        }
        for (const QString &url : std::as_const(urls)) {
            if (m_config.loopbackOnly && !isLoopbackHost(hostOfIceUrl(url))) {
                KL_ENGINE_LOG(2, QStringLiteral("ICE server %1 skipped: only loopback servers are used here").arg(url));
                continue;
            }
            const QString uri = gstIceUri(url, server.value(QLatin1String("username")).toString(),
                                          server.value(QLatin1String("credential")).toString());
            if (uri.startsWith(QLatin1String("stun://"))) {
                if (!stunSet)
                    g_object_set(m_webrtc, "stun-server", uri.toUtf8().constData(), nullptr);
                stunSet = true;
            } else if (!uri.isEmpty()) {
                gboolean added = FALSE;
                g_signal_emit_by_name(m_webrtc, "add-turn-server", uri.toUtf8().constData(), &added);
                if (!added)
                    KL_ENGINE_LOG(2, QStringLiteral("TURN server %1 not taken").arg(url));
            } else {
                KL_ENGINE_LOG(2, QStringLiteral("ICE server %1 not understood").arg(url));
            }
        }
    }
    g_object_set(m_webrtc, "ice-transport-policy",
                 m_config.relayOnly ? GST_WEBRTC_ICE_TRANSPORT_POLICY_RELAY : GST_WEBRTC_ICE_TRANSPORT_POLICY_ALL, nullptr);
}

bool KLWebRtcPeer::buildPublisher()
{
    const int w = m_config.width, h = m_config.height, fps = std::max(1, m_config.fps);
    QString video;
    const bool camera = !m_config.screen && !m_config.cameraDevice.isEmpty() && QFile::exists(m_config.cameraDevice)
        && hasElement("v4l2src");
    if (camera)
        video = QStringLiteral("v4l2src name=camera ! videoconvert ! videoscale ! videorate");
    else
        video = QStringLiteral("videotestsrc is-live=true pattern=%1").arg(m_config.screen ? QStringLiteral("ball") : QStringLiteral("smpte"));
    video += QStringLiteral(" ! video/x-raw,format=I420,width=%1,height=%2,framerate=%3/1"
                            " ! textoverlay name=overlay valignment=bottom halignment=center font-desc=\"Sans 16\""
                            " ! valve name=vvalve drop=false ! tee name=vtee"
                            " vtee. ! queue max-size-buffers=2 ! vp8enc deadline=1 cpu-used=8 threads=1"
                            " target-bitrate=%4 keyframe-max-dist=%3 error-resilient=partitions"
                            " ! rtpvp8pay pt=96 ssrc=%5 picture-id-mode=15-bit"
                            " ! capsfilter name=vrtp caps=\"application/x-rtp,media=video,encoding-name=VP8,payload=96,clock-rate=90000,ssrc=(uint)%5\""
                            " ! webrtc."
                            " vtee. ! queue leaky=downstream max-size-buffers=1 ! videoconvert ! video/x-raw,format=BGRA"
                            " ! appsink name=frames sync=false max-buffers=1 drop=true")
                 .arg(w).arg(h).arg(fps).arg(m_config.screen ? 600000 : 300000).arg(m_videoSsrc);
    const QString audio = QStringLiteral("audiotestsrc is-live=true wave=%1 freq=440 volume=0.4"
                                         " ! audioconvert ! audioresample ! audio/x-raw,rate=48000,channels=1"
                                         " ! volume name=avol ! level name=alevel interval=100000000 post-messages=true"
                                         " ! audioconvert ! opusenc bitrate=32000"
                                         " ! rtpopuspay pt=111 ssrc=%2"
                                         " ! capsfilter name=artp caps=\"application/x-rtp,media=audio,encoding-name=OPUS,payload=111,clock-rate=48000,ssrc=(uint)%2\""
                                         " ! webrtc.")
                              .arg(m_config.tone ? QStringLiteral("sine") : QStringLiteral("silence"))
                              .arg(m_audioSsrc);
    if (!camera && !m_config.screen)
        KL_ENGINE_LOG(4, QStringLiteral("no camera: sending the test pattern with %1").arg(nonEmpty(m_config.overlayText, "no name")));
    KL_ENGINE_LOG(4, m_config.tone ? QStringLiteral("no microphone: sending a tone")
                                   : QStringLiteral("no microphone: sending silence"));
    // What the stream was created without is not sent at all (an audio-only meeting sends no
    // video; a share sends no audio).
    QString description = QStringLiteral("webrtcbin name=webrtc");
    if (m_config.video)
        description += QLatin1Char(' ') + video;
    if (m_config.audio && !m_config.screen)
        description += QLatin1Char(' ') + audio;
    if (!m_config.video && !(m_config.audio && !m_config.screen)) {
        KL_ENGINE_LOG(8, QStringLiteral("a stream with neither audio nor video has nothing to publish"));
        return false;
    }
    GError *error = nullptr;
    m_pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (!m_pipeline || error) {
        KL_ENGINE_LOG(8, QStringLiteral("publisher pipeline: %1").arg(error ? QString::fromUtf8(error->message) : QString()));
        g_clear_error(&error);
        return false;
    }
    m_webrtc = gst_bin_get_by_name(GST_BIN(m_pipeline), "webrtc");
    gst_object_unref(m_webrtc); // the pipeline keeps it
    if (GstElement *overlay = gst_bin_get_by_name(GST_BIN(m_pipeline), "overlay")) {
        g_object_set(overlay, "text", m_config.overlayText.toUtf8().constData(), nullptr);
        gst_object_unref(overlay);
    }
    if ((m_videoValve = gst_bin_get_by_name(GST_BIN(m_pipeline), "vvalve")))
        gst_object_unref(m_videoValve);
    if ((m_audioVolume = gst_bin_get_by_name(GST_BIN(m_pipeline), "avol")))
        gst_object_unref(m_audioVolume);
    if (GstElement *sink = gst_bin_get_by_name(GST_BIN(m_pipeline), "frames")) {
        addAppSink(sink, nullptr);
        gst_object_unref(sink);
    }
    auto self = shared_from_this();
    for (const char *name : {"vrtp", "artp"}) {
        GstElement *filter = gst_bin_get_by_name(GST_BIN(m_pipeline), name);
        if (!filter)
            continue;
        ++m_capsExpected;
        GstPad *pad = gst_element_get_static_pad(filter, "src");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, capsProbe, weakOf(self), freeWeak);
        gst_object_unref(pad);
        gst_object_unref(filter);
    }
    return true;
}

bool KLWebRtcPeer::buildSubscriber()
{
    m_pipeline = gst_pipeline_new(nullptr);
    m_webrtc = gst_element_factory_make("webrtcbin", "webrtc");
    if (!m_pipeline || !m_webrtc) {
        KL_ENGINE_LOG(8, QStringLiteral("subscriber pipeline cannot be made"));
        return false;
    }
    // A short jitter buffer: the media server is near, and the first frame shows sooner.
    g_object_set(m_webrtc, "latency", guint(kReceiveLatencyMs), nullptr);
    gst_bin_add(GST_BIN(m_pipeline), m_webrtc);
    return true;
}

void KLWebRtcPeer::addAppSink(GstElement *sink, GstPad *)
{
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = newSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, weakOf(shared_from_this()), freeWeak);
}

void KLWebRtcPeer::onCaps()
{
    if (++m_capsSeen < m_capsExpected)
        return;
    onNegotiationReady();
}

void KLWebRtcPeer::createOffer(bool iceRestart)
{
    {
        std::lock_guard lock(m_mutex);
        m_offerWanted = true;
        m_offerRestart = iceRestart;
    }
    if (m_capsSeen.load() >= m_capsExpected)
        onNegotiationReady();
}

static void offerCreated(GstPromise *promise, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onOfferCreated(promise);
    gst_promise_unref(promise);
}

static void answerCreated(GstPromise *promise, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onAnswerCreated(promise);
    gst_promise_unref(promise);
}

void KLWebRtcPeer::onNegotiationReady()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_offerWanted || m_stopped)
            return;
        m_offerWanted = false;
    }
    GstPromise *promise = gst_promise_new_with_change_func(offerCreated, weakOf(shared_from_this()), freeWeak);
    g_signal_emit_by_name(m_webrtc, "create-offer", nullptr, promise);
}

static QString takeDescription(GstPromise *promise, const char *field, GstElement *webrtc, const char *setter)
{
    if (gst_promise_wait(promise) != GST_PROMISE_RESULT_REPLIED)
        return {};
    const GstStructure *reply = gst_promise_get_reply(promise);
    GstWebRTCSessionDescription *description = nullptr;
    if (!reply || !gst_structure_get(reply, field, GST_TYPE_WEBRTC_SESSION_DESCRIPTION, &description, nullptr)
        || !description)
        return {};
    g_signal_emit_by_name(webrtc, setter, description, nullptr);
    gchar *text = gst_sdp_message_as_text(description->sdp);
    const QString sdp = QString::fromUtf8(text);
    g_free(text);
    gst_webrtc_session_description_free(description);
    return sdp;
}

void KLWebRtcPeer::onOfferCreated(GstPromise *promise)
{
    const QString sdp = takeDescription(promise, "offer", m_webrtc, "set-local-description");
    if (sdp.isEmpty()) {
        KL_ENGINE_LOG(8, QStringLiteral("no offer could be made"));
        if (const auto cb = callbacks(); cb.error)
            cb.error(QStringLiteral("no offer"));
        return;
    }
    if (const auto cb = callbacks(); cb.localDescription)
        cb.localDescription(QStringLiteral("offer"), sdp);
}

void KLWebRtcPeer::onAnswerCreated(GstPromise *promise)
{
    const QString sdp = takeDescription(promise, "answer", m_webrtc, "set-local-description");
    if (sdp.isEmpty()) {
        KL_ENGINE_LOG(8, QStringLiteral("no answer could be made"));
        if (const auto cb = callbacks(); cb.error)
            cb.error(QStringLiteral("no answer"));
        return;
    }
    if (const auto cb = callbacks(); cb.localDescription)
        cb.localDescription(QStringLiteral("answer"), sdp);
}

static void remoteSet(GstPromise *promise, gpointer data)
{
    gst_promise_unref(promise);
    if (auto peer = lockPeer(data))
        peer->onRemoteOfferSet();
}

void KLWebRtcPeer::setRemoteDescription(const QString &type, const QString &sdpText)
{
    if (!m_webrtc || stopped())
        return;
    const QString sdpIn = m_config.loopbackOnly ? loopbackCandidatesOnly(sdpText) : sdpText;
    GstSDPMessage *sdp = nullptr;
    gst_sdp_message_new(&sdp);
    const QByteArray bytes = sdpIn.toUtf8();
    if (gst_sdp_message_parse_buffer(reinterpret_cast<const guint8 *>(bytes.constData()), guint(bytes.size()), sdp)
        != GST_SDP_OK) {
        gst_sdp_message_free(sdp);
        KL_ENGINE_LOG(8, QStringLiteral("the media server's %1 is not SDP").arg(type));
        if (const auto cb = callbacks(); cb.error)
            cb.error(QStringLiteral("bad SDP"));
        return;
    }
    const bool offer = type == QLatin1String("offer");
    GstWebRTCSessionDescription *description =
        gst_webrtc_session_description_new(offer ? GST_WEBRTC_SDP_TYPE_OFFER : GST_WEBRTC_SDP_TYPE_ANSWER, sdp);
    GstPromise *promise = offer ? gst_promise_new_with_change_func(remoteSet, weakOf(shared_from_this()), freeWeak)
                                : nullptr;
    g_signal_emit_by_name(m_webrtc, "set-remote-description", description, promise);
    gst_webrtc_session_description_free(description);
}

void KLWebRtcPeer::openDataChannel()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_channel || !m_webrtc || m_stopped)
            return;
    }
    GstWebRTCDataChannel *channel = nullptr;
    g_signal_emit_by_name(m_webrtc, "create-data-channel", "kelvo", nullptr, &channel);
    if (channel) {
        watchChannel(channel);
        g_object_unref(channel);
    } else {
        KL_ENGINE_LOG(2, QStringLiteral("no data channel could be made"));
    }
}

void KLWebRtcPeer::onRemoteOfferSet()
{
    // The media server relays data to a subscriber only once the subscriber has opened a
    // channel of its own.
    if (m_config.dataChannel)
        openDataChannel();
    GstPromise *promise = gst_promise_new_with_change_func(answerCreated, weakOf(shared_from_this()), freeWeak);
    g_signal_emit_by_name(m_webrtc, "create-answer", nullptr, promise);
}

void KLWebRtcPeer::addRemoteCandidate(int mlineIndex, const QString &candidate)
{
    if (!m_webrtc || candidate.isEmpty() || stopped())
        return;
    if (m_config.loopbackOnly && !loopbackCandidate(candidate)) {
        KL_ENGINE_LOG(16, QStringLiteral("remote candidate dropped (not loopback): %1").arg(candidate));
        return;
    }
    g_signal_emit_by_name(m_webrtc, "add-ice-candidate", guint(std::max(0, mlineIndex)), candidate.toUtf8().constData());
}

void KLWebRtcPeer::onIceCandidate(unsigned mline, const char *candidate)
{
    const QString text = QString::fromUtf8(candidate);
    if (m_config.loopbackOnly && !loopbackCandidate(text))
        return;
    if (const auto cb = callbacks(); cb.localCandidate)
        cb.localCandidate(int(mline), text);
}

void KLWebRtcPeer::onGatheringState()
{
    GstWebRTCICEGatheringState state = GST_WEBRTC_ICE_GATHERING_STATE_NEW;
    g_object_get(m_webrtc, "ice-gathering-state", &state, nullptr);
    if (const auto cb = callbacks(); state == GST_WEBRTC_ICE_GATHERING_STATE_COMPLETE && cb.localCandidate)
        cb.localCandidate(-1, QString());
}

void KLWebRtcPeer::onIceConnectionState()
{
    GstWebRTCICEConnectionState state = GST_WEBRTC_ICE_CONNECTION_STATE_NEW;
    g_object_get(m_webrtc, "ice-connection-state", &state, nullptr);
    const char *name = nullptr;
    switch (state) {
    case GST_WEBRTC_ICE_CONNECTION_STATE_CONNECTED: name = "connected"; break;
    case GST_WEBRTC_ICE_CONNECTION_STATE_COMPLETED: name = "completed"; break;
    case GST_WEBRTC_ICE_CONNECTION_STATE_FAILED: name = "failed"; break;
    case GST_WEBRTC_ICE_CONNECTION_STATE_DISCONNECTED: name = "disconnected"; break;
    case GST_WEBRTC_ICE_CONNECTION_STATE_CLOSED: name = "closed"; break;
    default: break;
    }
    if (const auto cb = callbacks(); name && cb.iceState)
        cb.iceState(QString::fromLatin1(name));
}

void KLWebRtcPeer::onPadAdded(GstPad *pad)
{
    if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC || stopped())
        return;
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const GstStructure *s = caps ? gst_caps_get_structure(caps, 0) : nullptr;
    const QString media = s ? QString::fromUtf8(gst_structure_get_string(s, "media")) : QString();
    const QString encoding = s ? QString::fromUtf8(gst_structure_get_string(s, "encoding-name")).toUpper() : QString();
    if (caps)
        gst_caps_unref(caps);
    QString description;
    if (media == QLatin1String("video") && encoding == QLatin1String("VP8")) {
        description = QStringLiteral("queue ! rtpvp8depay ! vp8dec ! videoconvert ! video/x-raw,format=BGRA"
                                     " ! appsink name=frames sync=false max-buffers=2 drop=true");
    } else if (media == QLatin1String("audio") && encoding == QLatin1String("OPUS")) {
        // Played where a sound server is there; discarded in time otherwise.
        const bool sound = hasElement("pulsesink") && !qEnvironmentVariableIsEmpty("PULSE_SERVER");
        description = QStringLiteral("queue ! rtpopusdepay ! opusdec ! audioconvert"
                                     " ! level interval=100000000 post-messages=true ! volume name=pvol"
                                     " ! audioconvert ! audioresample ! %1")
                          .arg(sound ? QStringLiteral("pulsesink") : QStringLiteral("fakesink sync=true"));
    } else {
        description = QStringLiteral("fakesink");
        KL_ENGINE_LOG(2, QStringLiteral("received %1 %2 discarded").arg(media, encoding));
    }
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description(description.toUtf8().constData(), TRUE, &error);
    if (!bin) {
        KL_ENGINE_LOG(8, QStringLiteral("receive chain: %1").arg(error ? QString::fromUtf8(error->message) : QString()));
        g_clear_error(&error);
        return;
    }
    gst_bin_add(GST_BIN(m_pipeline), bin);
    if (GstElement *sink = gst_bin_get_by_name(GST_BIN(bin), "frames")) {
        addAppSink(sink, nullptr);
        gst_object_unref(sink);
    }
    if (GstElement *volume = gst_bin_get_by_name(GST_BIN(bin), "pvol")) {
        m_audioVolume = volume;
        gst_object_unref(volume);
    }
    gst_element_sync_state_with_parent(bin);
    GstPad *sinkPad = gst_element_get_static_pad(bin, "sink");
    if (gst_pad_link(pad, sinkPad) != GST_PAD_LINK_OK)
        KL_ENGINE_LOG(8, QStringLiteral("received %1 cannot be decoded").arg(media));
    gst_object_unref(sinkPad);
}

void KLWebRtcPeer::watchChannel(GstWebRTCDataChannel *channel)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_channel)
            m_channel = GST_WEBRTC_DATA_CHANNEL(g_object_ref(channel));
    }
    g_signal_connect_data(channel, "on-message-string", G_CALLBACK(dataString), weakOf(shared_from_this()),
                          freeWeakClosure, GConnectFlags(0));
}

void KLWebRtcPeer::onDataChannel(GstWebRTCDataChannel *channel)
{
    // The server's channel towards us (labelled with the publisher's feed): listen only.
    g_signal_connect_data(channel, "on-message-string", G_CALLBACK(dataString), weakOf(shared_from_this()),
                          freeWeakClosure, GConnectFlags(0));
}

void KLWebRtcPeer::onDataString(const char *text)
{
    if (const auto cb = callbacks(); cb.dataMessage)
        cb.dataMessage(QString::fromUtf8(text));
}

bool KLWebRtcPeer::sendData(const QString &text)
{
    GstWebRTCDataChannel *channel = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_channel)
            channel = GST_WEBRTC_DATA_CHANNEL(g_object_ref(m_channel));
    }
    if (!channel)
        return false;
    GstWebRTCDataChannelState state = GST_WEBRTC_DATA_CHANNEL_STATE_CLOSED;
    g_object_get(channel, "ready-state", &state, nullptr);
    const bool open = state == GST_WEBRTC_DATA_CHANNEL_STATE_OPEN;
    if (open)
        g_signal_emit_by_name(channel, "send-string", text.toUtf8().constData());
    g_object_unref(channel);
    return open;
}

void KLWebRtcPeer::setOverlayText(const QString &text)
{
    std::lock_guard lock(m_mutex);
    if (!m_pipeline)
        return;
    if (GstElement *overlay = gst_bin_get_by_name(GST_BIN(m_pipeline), "overlay")) {
        g_object_set(overlay, "text", text.toUtf8().constData(), nullptr);
        gst_object_unref(overlay);
    }
}

void KLWebRtcPeer::setAudioMuted(bool muted)
{
    if (m_audioVolume && m_config.publisher)
        g_object_set(m_audioVolume, "mute", gboolean(muted), nullptr);
    if (muted)
        m_level = 0;
}

void KLWebRtcPeer::setPlaybackMuted(bool muted)
{
    if (m_audioVolume && !m_config.publisher)
        g_object_set(m_audioVolume, "mute", gboolean(muted), nullptr);
}

void KLWebRtcPeer::setVideoMuted(bool muted)
{
    if (m_videoValve)
        g_object_set(m_videoValve, "drop", gboolean(muted), nullptr);
}

void KLWebRtcPeer::onBusMessage(GstMessage *message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ELEMENT: {
        const GstStructure *s = gst_message_get_structure(message);
        if (!s || !gst_structure_has_name(s, "level"))
            return;
        const GValue *rms = gst_structure_get_value(s, "rms");
        double db = -100.0;
        if (rms && g_strcmp0(G_VALUE_TYPE_NAME(rms), "GValueArray") == 0) {
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            auto *array = static_cast<GValueArray *>(g_value_get_boxed(rms));
            for (guint i = 0; array && i < array->n_values; ++i)
                db = std::max(db, g_value_get_double(g_value_array_get_nth(array, i)));
            G_GNUC_END_IGNORE_DEPRECATIONS
        }
        const double linear = std::isfinite(db) ? std::pow(10.0, db / 20.0) : 0.0;
        m_level = int(std::clamp(linear * 32767.0, 0.0, 32767.0));
        return;
    }
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gchar *debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        const QString text = QStringLiteral("%1: %2").arg(QString::fromUtf8(GST_OBJECT_NAME(message->src)),
                                                          error ? QString::fromUtf8(error->message) : QString());
        g_clear_error(&error);
        g_free(debug);
        KL_ENGINE_LOG(8, QStringLiteral("media pipeline error %1").arg(text));
        if (const auto cb = callbacks(); cb.error)
            cb.error(text);
        return;
    }
    default:
        return;
    }
}

void KLWebRtcPeer::onSample(GstAppSink *sink)
{
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return;
    GstVideoInfo info;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer && gst_video_info_from_caps(&info, gst_sample_get_caps(sample))
        && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        KLRTCMediaVideoFrame frame;
        frame.width = GST_VIDEO_INFO_WIDTH(&info);
        frame.height = GST_VIDEO_INFO_HEIGHT(&info);
        frame.format = KLRTCMediaVideoFrame::FormatARGB32; // BGRA bytes are 0xAARRGGBB words here
        frame.bytesPerLine = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
        const qsizetype bytes = qsizetype(frame.bytesPerLine) * frame.height;
        // The views keep frames beyond this call, so the pixels leave the mapped buffer once,
        // into the shared array every view then holds.
        frame.pixels = QByteArray(reinterpret_cast<const char *>(map.data), std::min<qsizetype>(bytes, qsizetype(map.size)));
        frame.timestampUs = GST_BUFFER_PTS_IS_VALID(buffer) ? qint64(GST_BUFFER_PTS(buffer) / 1000) : g_get_monotonic_time();
        gst_buffer_unmap(buffer, &map);
        ++m_frames;
        if (const auto cb = callbacks(); cb.videoFrame)
            cb.videoFrame(frame);
    }
    gst_sample_unref(sample);
}

static void statsReady(GstPromise *promise, gpointer data)
{
    if (gst_promise_wait(promise) == GST_PROMISE_RESULT_REPLIED) {
        if (auto peer = lockPeer(data))
            peer->onStats(gst_promise_get_reply(promise));
    }
    gst_promise_unref(promise);
}

void KLWebRtcPeer::requestStats()
{
    if (!m_webrtc || stopped())
        return;
    GstPromise *promise = gst_promise_new_with_change_func(statsReady, weakOf(shared_from_this()), freeWeak);
    g_signal_emit_by_name(m_webrtc, "get-stats", nullptr, promise);
}

void KLWebRtcPeer::onStats(const GstStructure *reply)
{
    if (!reply)
        return;
    QJsonArray outbound, inbound, remoteInbound;
    QJsonObject codecs;
    const int n = gst_structure_n_fields(reply);
    std::vector<QJsonObject> rtp;
    for (int i = 0; i < n; ++i) {
        const GValue *value = gst_structure_get_value(reply, gst_structure_nth_field_name(reply, guint(i)));
        if (!value || !GST_VALUE_HOLDS_STRUCTURE(value))
            continue;
        const GstStructure *entry = gst_value_get_structure(value);
        GstWebRTCStatsType type = GST_WEBRTC_STATS_CODEC;
        if (!gst_structure_get(entry, "type", GST_TYPE_WEBRTC_STATS_TYPE, &type, nullptr))
            continue;
        QJsonObject object = jsonOf(entry);
        if (type == GST_WEBRTC_STATS_CODEC)
            codecs.insert(object.value(QLatin1String("id")).toString(), object.value(QLatin1String("mime-type")));
        else if (type == GST_WEBRTC_STATS_OUTBOUND_RTP || type == GST_WEBRTC_STATS_INBOUND_RTP
                 || type == GST_WEBRTC_STATS_REMOTE_INBOUND_RTP)
            rtp.push_back(object);
    }
    for (QJsonObject object : rtp) {
        const QString mime = codecs.value(object.value(QLatin1String("codec-id")).toString()).toString();
        object.insert(QStringLiteral("kind"), mime.startsWith(QLatin1String("audio")) ? QStringLiteral("audio")
                                                                                       : QStringLiteral("video"));
        const int type = object.value(QLatin1String("type")).toInt();
        if (type == GST_WEBRTC_STATS_OUTBOUND_RTP)
            outbound.append(object);
        else if (type == GST_WEBRTC_STATS_INBOUND_RTP)
            inbound.append(object);
        else
            remoteInbound.append(object);
    }
    std::lock_guard lock(m_mutex);
    m_stats = {{QStringLiteral("outbound"), outbound},
               {QStringLiteral("inbound"), inbound},
               {QStringLiteral("remoteInbound"), remoteInbound}};
}

QJsonObject KLWebRtcPeer::stats() const
{
    std::lock_guard lock(m_mutex);
    return m_stats;
}
