#pragma once

// The video area of a meeting window on screen, as the benchmarks that draw video set it up: a
// window of 1280x720 holding a KLMeetingVideoArea (the big view and the strip of small tiles,
// each a real KLVideoRenderWidget), feeds made for streams the program brings (a fake engine's or
// a live one's), and the check that a display is there at all.

#include "conference/registry/KLFeedClient.h"
#include "media/KLRTCMediaSDK.h"
#include "model/KLCallState.h"
#include "model/KLParticipant.h"
#include "ui/tiles/KLMeetingBigView.h"
#include "ui/tiles/KLMeetingSmallView.h"
#include "ui/tiles/KLMeetingVideoArea.h"
#include "ui/video/KLVideoRenderWidget.h"

#include <QList>
#include <QWidget>
#include <QtGlobal>

#include <cstdio>
#include <memory>
#include <vector>

namespace klbench {

/// False, with a line on stderr, when no display is given (no DISPLAY, WAYLAND_DISPLAY nor
/// QT_QPA_PLATFORM): a QApplication would abort. Call before making one.
inline bool hasDisplay(const char *program)
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    std::fprintf(stderr,
                 "%s draws into a window and needs a display: run it under "
                 "xvfb-run -s \"-screen 0 1920x1080x24\"\n",
                 program);
    return false;
}

/// An online member with video whose feed plays `stream`.
inline std::shared_ptr<KLFeedClient> videoMember(const QString &uuid, const QString &name,
                                                 const std::shared_ptr<KLRTCMediaStream> &stream)
{
    auto participant = KLParticipant::createWithDictionary(
        {{"memberUUID", uuid}, {"displayName", name}, {"memberType", 1}});
    participant->setCallState(KLCallState::createWithDictionary({{"online", 1}, {"hasVideo", 1}}));
    auto feed = KLFeedClient::create(QJsonValue(1), uuid, {}, participant);
    feed->setMediaStream(stream);
    return feed;
}

/// The meeting window's video area in a window of its own. Main thread only.
class BenchVideoArea {
public:
    explicit BenchVideoArea(const QString &title)
    {
        m_window.setWindowTitle(title);
        m_area = new KLMeetingVideoArea(nullptr, &m_window);
        m_window.resize(1280, 720);
        m_area->setGeometry(m_window.rect());
        m_window.show();
    }

    /// The first feed in the big view, the next (up to four) in the strip. Showing the same
    /// feeds again makes each tile look at its feed afresh (binds a stream that has become
    /// playable since).
    void show(const std::vector<std::shared_ptr<KLFeedClient>> &feeds)
    {
        if (feeds.empty())
            return;
        m_area->showMainClient(feeds.front());
        m_area->showSmallClients(QList<std::shared_ptr<KLFeedClient>>(feeds.begin() + 1, feeds.end()));
        m_shown = int(feeds.size());
    }

    /// The render widgets of the feeds shown, in the order given to show().
    std::vector<KLVideoRenderWidget *> views() const
    {
        std::vector<KLVideoRenderWidget *> views;
        if (m_shown > 0)
            views.push_back(m_area->bigView()->videoWidget());
        for (int i = 0; i + 1 < m_shown; ++i)
            views.push_back(m_area->smallView(i)->videoWidget());
        return views;
    }

    QWidget &window() { return m_window; }

private:
    QWidget m_window;
    KLMeetingVideoArea *m_area = nullptr;
    int m_shown = 0;
};

} // namespace klbench
