#pragma once

// Recording delegates and a render view for the built-in engine's tests. Everything they
// record arrives on engine threads, so each guards its own list.

#include "media/KLRTCMediaSDK.h"

#include <QThread>

#include <algorithm>
#include <mutex>
#include <vector>

struct RecordedEvent {
    int code = 0;
    KLRTCMediaEventInfo info;
    bool onEngineThread = false;
};

class EventRecorder : public KLRTCMediaConnectionDelegate {
public:
    explicit EventRecorder(QThread *testThread) : m_testThread(testThread) {}

    void rtcConnection(const std::shared_ptr<KLRTCMediaConnection> &, int event,
                       const KLRTCMediaEventInfo &info) override
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back({event, info, QThread::currentThread() != m_testThread});
    }
    std::vector<RecordedEvent> events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    int count(int code) const
    {
        const auto all = events();
        return int(std::count_if(all.begin(), all.end(), [code](const RecordedEvent &e) { return e.code == code; }));
    }
    /// The latest event of `code` whose stream (or stream id) is `streamId` when one is given.
    std::optional<RecordedEvent> last(int code, const QString &streamId = {}) const
    {
        const std::vector<RecordedEvent> all = events();
        for (auto it = all.rbegin(); it != all.rend(); ++it) {
            const bool ofStream = streamId.isEmpty() || (it->info.stream && it->info.stream->getID() == streamId)
                || it->info.streamId.value_or(QString()) == streamId;
            if (it->code == code && ofStream)
                return *it;
        }
        return std::nullopt;
    }

private:
    QThread *m_testThread;
    mutable std::mutex m_mutex;
    std::vector<RecordedEvent> m_events;
};

class StreamRecorder : public KLRTCMediaStreamDelegate {
public:
    void rtcStream(const std::shared_ptr<KLRTCMediaStream> &, int state, const QJsonObject &) override
    {
        std::lock_guard lock(m_mutex);
        m_states.push_back(state);
    }
    std::vector<int> states() const { std::lock_guard lock(m_mutex); return m_states; }

private:
    mutable std::mutex m_mutex;
    std::vector<int> m_states;
};

class FrameCounter : public KLRTCMediaVideoRenderView {
public:
    QString renderStreamId() const override { return {}; }
    void setRenderStreamId(const QString &) override {}
    bool isVideoRenderer() const override { return true; }
    void renderFrame(const KLRTCMediaVideoFrame &frame) override
    {
        std::lock_guard lock(m_mutex);
        ++m_frames;
        m_lastValid = frame.isValid();
    }
    int frames() const { std::lock_guard lock(m_mutex); return m_frames; }
    bool lastValid() const { std::lock_guard lock(m_mutex); return m_lastValid; }

private:
    mutable std::mutex m_mutex;
    int m_frames = 0;
    bool m_lastValid = false;
};
