#include "media/webrtc/KLWebRtcPeer.h"

#include "media/KLRTCMediaLogging.h"
#include "media/webrtc/KLWebRtcPeerGlib.h"

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

#include <mutex>
#include <thread>

using namespace kl_webrtc_peer_detail;

namespace {

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
                                    "textoverlay", "videoconvert", "videoscale", "appsink", "appsrc", "nicesrc"}) {
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

std::shared_ptr<KLWebRtcPeer> KLWebRtcPeer::create(const KLWebRtcPeerConfig &config, KLWebRtcPeerCallbacks callbacks)
{
    return std::shared_ptr<KLWebRtcPeer>(new KLWebRtcPeer(config, std::move(callbacks)));
}

KLWebRtcPeer::KLWebRtcPeer(const KLWebRtcPeerConfig &config, KLWebRtcPeerCallbacks callbacks)
    : m_config(config),
      m_callbacks(std::move(callbacks)),
      m_audioSsrc(QRandomGenerator::global()->bounded(1u, 0x7fffffffu)),
      m_videoSsrc(QRandomGenerator::global()->bounded(1u, 0x7fffffffu)),
      m_micChoice(config.micId),
      m_speakerChoice(config.speakerId)
{
}

KLWebRtcPeer::~KLWebRtcPeer()
{
    stopScreen();
    if (m_channel)
        g_object_unref(m_channel);
    if (m_pendingSink)
        gst_object_unref(m_pendingSink);
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
    stopScreen();
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
    startScreen();
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
    if (m_config.screen && m_config.capture) {
        video = screenSource(); // a captured screen's size is fixed by its first frame
    } else {
        if (camera)
            video = QStringLiteral("v4l2src name=camera ! videoconvert ! videoscale ! videorate");
        else
            video = QStringLiteral("videotestsrc is-live=true pattern=%1").arg(m_config.screen ? QStringLiteral("ball") : QStringLiteral("smpte"));
        video += QStringLiteral(" ! video/x-raw,format=I420,width=%1,height=%2,framerate=%3/1").arg(w).arg(h).arg(fps);
    }
    video += QStringLiteral(" ! textoverlay name=overlay valignment=bottom halignment=center font-desc=\"Sans 16\""
                            " ! valve name=vvalve drop=false ! tee name=vtee"
                            " vtee. ! queue max-size-buffers=2 ! vp8enc deadline=1 cpu-used=8 threads=1"
                            " target-bitrate=%2 keyframe-max-dist=%1 error-resilient=partitions"
                            " ! rtpvp8pay pt=96 ssrc=%3 picture-id-mode=15-bit"
                            " ! capsfilter name=vrtp caps=\"application/x-rtp,media=video,encoding-name=VP8,payload=96,clock-rate=90000,ssrc=(uint)%3\""
                            " ! webrtc."
                            " vtee. ! queue leaky=downstream max-size-buffers=1 ! videoconvert ! video/x-raw,format=BGRA"
                            " ! appsink name=frames sync=false max-buffers=1 drop=true")
                 .arg(fps).arg(m_config.screen ? 600000 : 300000).arg(m_videoSsrc);
    // The source (microphone, tone or silence) is put in front of "ain" once the pipeline is
    // made, and may be swapped there while it runs. The level element's meta goes out in each
    // packet's audio-level header extension (the payloader adds it for the extmap in the caps),
    // from which the media server tells the room who is talking.
    const QString audio = QStringLiteral("audioconvert name=ain ! audioresample ! audio/x-raw,rate=48000,channels=1"
                                         " ! volume name=avol ! level name=alevel interval=100000000 post-messages=true audio-level-meta=true"
                                         " ! audioconvert ! opusenc bitrate=32000"
                                         " ! rtpopuspay pt=111 ssrc=%1"
                                         " ! capsfilter name=artp caps=\"application/x-rtp,media=audio,encoding-name=OPUS,payload=111,clock-rate=48000,ssrc=(uint)%1,"
                                         "extmap-1=(string)<\\\"\\\",urn:ietf:params:rtp-hdrext:ssrc-audio-level,\\\"vad=on\\\">\""
                                         " ! webrtc.")
                              .arg(m_audioSsrc);
    if (!camera && !m_config.screen && m_config.video)
        KL_ENGINE_LOG(4, QStringLiteral("no camera: sending the test pattern with %1").arg(nonEmpty(m_config.overlayText, "no name")));
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
    if (GstElement *input = gst_bin_get_by_name(GST_BIN(m_pipeline), "ain")) {
        gst_object_unref(input); // the pipeline keeps it
        openMicrophone(input);
    }
    wireScreen();
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
