// The peer's microphone and speaker: opened through the engine's device monitor, with a tone,
// silence or a discarding sink in their place where there is none, and swapped while the
// pipeline runs. The negotiated stream does not change: a new source feeds the same encoder,
// a new sink hangs off the same decoder.

#include "media/webrtc/KLWebRtcPeer.h"

#include "media/KLRTCMediaLogging.h"
#include "media/webrtc/KLWebRtcDeviceMonitor.h"
#include "media/webrtc/KLWebRtcPeerGlib.h"

#include <gst/gst.h>

using namespace kl_webrtc_peer_detail;

GstElement *KLWebRtcPeer::makeMicrophone(const QString &micId, QString *deviceId)
{
    const bool tone = micId == QLatin1String(kKLWebRtcToneMicrophone);
    if (!tone && m_config.devices) {
        KLRTCMediaDevice used;
        if (GstElement *microphone = m_config.devices->createElement(KLRTCMediaDeviceTypeMic, micId, &used)) {
            KL_ENGINE_LOG(4, QStringLiteral("microphone %1 (%2) opened").arg(used.deviceName, used.deviceId));
            *deviceId = used.deviceId;
            return microphone;
        }
    }
    deviceId->clear();
    GstElement *source = gst_element_factory_make("audiotestsrc", nullptr);
    g_object_set(source, "is-live", TRUE, "freq", 440.0, "volume", 0.4, nullptr);
    gst_util_set_object_arg(G_OBJECT(source), "wave", tone ? "sine" : "silence");
    KL_ENGINE_LOG(4, tone ? QStringLiteral("no microphone: sending a tone") : QStringLiteral("no microphone: sending silence"));
    return source;
}

GstElement *KLWebRtcPeer::makeSpeaker(const QString &speakerId, QString *deviceId)
{
    if (m_config.devices) {
        KLRTCMediaDevice used;
        if (GstElement *speaker = m_config.devices->createElement(KLRTCMediaDeviceTypeSpeaker, speakerId, &used)) {
            KL_ENGINE_LOG(4, QStringLiteral("received audio plays on %1 (%2)").arg(used.deviceName, used.deviceId));
            *deviceId = used.deviceId;
            return speaker;
        }
    }
    deviceId->clear();
    // A sound server the device monitor does not list (no provider for it) still plays.
    if (hasElement("pulsesink") && !qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        KL_ENGINE_LOG(4, QStringLiteral("received audio plays on the sound server's default output"));
        return gst_element_factory_make("pulsesink", nullptr);
    }
    KL_ENGINE_LOG(2, QStringLiteral("no speaker: received audio is discarded"));
    GstElement *sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", TRUE, nullptr); // in time, as a speaker would take it
    return sink;
}

void KLWebRtcPeer::placeMicrophone(GstElement *source, const QString &deviceId)
{
    // Under the device lock only: the pipeline's bus handler never takes it.
    std::lock_guard lock(m_deviceMutex);
    if (!m_audioIn || !source) {
        if (source)
            gst_object_unref(gst_object_ref_sink(source));
        return;
    }
    const bool running = GST_STATE(m_pipeline) > GST_STATE_NULL || GST_STATE_PENDING(m_pipeline) > GST_STATE_NULL;
    if (GstElement *old = m_audioSource.exchange(nullptr)) {
        // Its streaming thread ends first, so nothing is pushed into an unlinked pad.
        gst_element_set_state(old, GST_STATE_NULL);
        gst_element_unlink(old, m_audioIn);
        gst_bin_remove(GST_BIN(m_pipeline), old);
    }
    gst_bin_add(GST_BIN(m_pipeline), source);
    QString inUse = deviceId;
    if (!gst_element_link(source, m_audioIn)) {
        KL_ENGINE_LOG(8, QStringLiteral("microphone %1 gives no audio the encoder takes: sending silence").arg(deviceId));
        gst_bin_remove(GST_BIN(m_pipeline), source);
        source = gst_element_factory_make("audiotestsrc", nullptr);
        g_object_set(source, "is-live", TRUE, nullptr);
        gst_util_set_object_arg(G_OBJECT(source), "wave", "silence");
        gst_bin_add(GST_BIN(m_pipeline), source);
        gst_element_link(source, m_audioIn);
        inUse.clear();
    }
    m_audioSource = source;
    m_deviceInUse = inUse;
    if (running && !gst_element_sync_state_with_parent(source))
        KL_ENGINE_LOG(8, QStringLiteral("microphone %1 cannot start").arg(deviceId));
}

void KLWebRtcPeer::openMicrophone(GstElement *input)
{
    QString choice;
    {
        std::lock_guard lock(m_deviceMutex);
        m_audioIn = input;
        choice = m_micChoice;
    }
    QString device;
    placeMicrophone(makeMicrophone(choice, &device), device);
    // A choice made meanwhile saw no input yet and left the opening to this call.
    QString later;
    bool changed = false;
    {
        std::lock_guard lock(m_deviceMutex);
        changed = m_micChoice != choice;
        later = m_micChoice;
    }
    if (changed)
        switchMicrophone(later);
}

void KLWebRtcPeer::switchMicrophone(const QString &micId)
{
    if (!m_config.publisher || !m_config.audio || m_config.screen || stopped())
        return;
    {
        std::lock_guard lock(m_deviceMutex);
        m_micChoice = micId;
        if (!m_audioIn)
            return;
    }
    QString device;
    GstElement *source = makeMicrophone(micId, &device);
    placeMicrophone(source, device);
}

void KLWebRtcPeer::attachSpeaker(GstElement *chain)
{
    GstElement *out = gst_bin_get_by_name(GST_BIN(chain), "pout");
    GstElement *placeholder = gst_bin_get_by_name(GST_BIN(chain), "speaker");
    QString choice;
    {
        std::lock_guard lock(m_deviceMutex);
        choice = m_speakerChoice;
    }
    QString device;
    GstElement *sink = makeSpeaker(choice, &device);
    gst_element_unlink(out, placeholder);
    gst_bin_remove(GST_BIN(chain), placeholder);
    gst_bin_add(GST_BIN(chain), sink);
    if (!gst_element_link(out, sink))
        KL_ENGINE_LOG(8, QStringLiteral("speaker %1 takes none of the received audio's formats").arg(device));
    QString later;
    bool changed = false;
    {
        std::lock_guard lock(m_deviceMutex);
        m_audioOut = out;   // the chain holds both
        m_audioSink = sink;
        m_deviceInUse = device;
        changed = m_speakerChoice != choice; // chosen while this chain was being made
        later = m_speakerChoice;
    }
    gst_object_unref(placeholder);
    gst_object_unref(out);
    if (changed)
        switchSpeaker(later);
}

static GstPadProbeReturn speakerIdle(GstPad *, GstPadProbeInfo *, gpointer data)
{
    if (auto peer = lockPeer(data))
        peer->onSpeakerIdle();
    return GST_PAD_PROBE_REMOVE;
}

void KLWebRtcPeer::switchSpeaker(const QString &speakerId)
{
    if (m_config.publisher || stopped())
        return;
    GstPad *pad = nullptr;
    {
        std::lock_guard lock(m_deviceMutex);
        m_speakerChoice = speakerId;
        if (!m_audioOut)
            return; // no audio received yet: its chain opens the new choice
    }
    QString device;
    auto *sink = GST_ELEMENT(gst_object_ref_sink(makeSpeaker(speakerId, &device)));
    {
        std::lock_guard lock(m_deviceMutex);
        if (m_pendingSink)
            gst_object_unref(m_pendingSink); // a later choice wins
        m_pendingSink = sink;
        m_pendingDevice = device;
        if (m_swapWaiting)
            return;
        m_swapWaiting = true;
        pad = gst_element_get_static_pad(m_audioOut, "src");
    }
    // The sink is changed between two buffers: at once when none is being pushed, else as
    // soon as the current one has been played.
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_IDLE, speakerIdle, weakOf(shared_from_this()), freeWeak);
    gst_object_unref(pad);
}

void KLWebRtcPeer::onSpeakerIdle()
{
    // A choice made while a sink is being changed is taken in the same pause.
    for (;;) {
        GstElement *fresh = nullptr, *old = nullptr, *out = nullptr;
        QString device;
        {
            std::lock_guard lock(m_deviceMutex);
            fresh = std::exchange(m_pendingSink, nullptr);
            if (!fresh || stopped()) {
                m_swapWaiting = false;
                if (fresh)
                    gst_object_unref(fresh);
                return;
            }
            device = m_pendingDevice;
            old = m_audioSink;
            out = m_audioOut;
        }
        GstObject *chain = gst_element_get_parent(out);
        gst_element_unlink(out, old);
        gst_element_set_state(old, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(chain), old);
        gst_bin_add(GST_BIN(chain), fresh);
        gst_object_unref(fresh); // the chain holds it now
        if (!gst_element_link(out, fresh))
            KL_ENGINE_LOG(8, QStringLiteral("speaker %1 takes none of the received audio's formats").arg(device));
        gst_element_sync_state_with_parent(fresh);
        gst_object_unref(chain);
        std::lock_guard lock(m_deviceMutex);
        m_audioSink = fresh;
        m_deviceInUse = device;
    }
}

static void reopenAudioDevice(GstElement *, gpointer data)
{
    auto peer = lockPeer(data);
    if (!peer || peer->stopped())
        return;
    if (peer->config().publisher)
        peer->switchMicrophone(peer->audioChoice());
    else
        peer->switchSpeaker(peer->audioChoice());
}

bool KLWebRtcPeer::recoverAudioDevice(GstMessage *error)
{
    GstElement *device = m_config.publisher ? m_audioSource.load() : m_audioSink.load();
    if (!device || !gst_object_has_as_ancestor(GST_MESSAGE_SRC(error), GST_OBJECT(device)) || stopped())
        return false;
    // (No device lock here: a swap holding it may be what posted the error.)
    KL_ENGINE_LOG(2, QStringLiteral("the %1 in use stopped: the choice is opened again")
                         .arg(m_config.publisher ? QStringLiteral("microphone") : QStringLiteral("speaker")));
    // Posted from the device's own streaming thread, which a swap must not stop itself.
    gst_element_call_async(m_pipeline, reopenAudioDevice, weakOf(shared_from_this()), freeWeak);
    return true;
}

QString KLWebRtcPeer::audioChoice() const
{
    std::lock_guard lock(m_deviceMutex);
    return m_config.publisher ? m_micChoice : m_speakerChoice;
}

QString KLWebRtcPeer::audioDeviceInUse() const
{
    std::lock_guard lock(m_deviceMutex);
    return m_deviceInUse;
}
