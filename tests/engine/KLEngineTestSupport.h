#pragma once

// Recording delegates and a render view for the built-in engine's tests. Everything they
// record arrives on engine threads, so each guards its own list.

#include "media/KLRTCMediaSDK.h"

#include <QThread>

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
    std::vector<int> codes() const
    {
        std::vector<int> codes;
        for (const RecordedEvent &event : events())
            codes.push_back(event.code);
        return codes;
    }
    int count(int code) const
    {
        int n = 0;
        for (const RecordedEvent &event : events())
            n += event.code == code;
        return n;
    }
    /// The latest event of `code` whose stream (or stream id) is `streamId` when one is given.
    std::optional<RecordedEvent> last(int code, const QString &streamId = {}) const
    {
        const std::vector<RecordedEvent> all = events();
        for (auto it = all.rbegin(); it != all.rend(); ++it) {
            if (it->code != code)
                continue;
            if (!streamId.isEmpty() && !(it->info.stream && it->info.stream->getID() == streamId) &&
                it->info.streamId.value_or(QString()) != streamId)
                continue;
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
    std::vector<int> states() const
    {
        std::lock_guard lock(m_mutex);
        return m_states;
    }

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
        m_last = frame;
    }
    int frames() const
    {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    KLRTCMediaVideoFrame last() const
    {
        std::lock_guard lock(m_mutex);
        return m_last;
    }

private:
    mutable std::mutex m_mutex;
    int m_frames = 0;
    KLRTCMediaVideoFrame m_last;
};
