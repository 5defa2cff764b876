#include "ui/tiles/KLMeetingVideoArea.h"

#include "conference/service/KLConferenceService.h"
#include "conference/registry/KLFeedClient.h"
#include "media/KLRTCMediaVideoRenderView.h"
#include "runtime/KLSDKLog.h"
#include "ui/KLTheme.h"
#include "ui/tiles/KLMeetingBigView.h"
#include "ui/tiles/KLMeetingSmallView.h"
#include "window/KLMeetingLayoutViewController.h"
#include "window/KLRenderViewProvider.h"

#include <QHash>
#include <QResizeEvent>

#include <array>
#include <mutex>

namespace {
const char *const kTag = "KLMeetingVideoArea";
constexpr int kStripTiles = 4;
constexpr int kSpacing = 6;

// Answers the layout's render-view look-ups from any thread with the views the tiles play
// into now; the tiles tell it on the main thread whenever they bind or let go.
class TileViews final : public KLRenderViewProvider {
public:
    std::shared_ptr<KLRTCMediaVideoRenderView> rendererViewForClient(const std::shared_ptr<KLFeedClient> &feed) override
    {
        std::lock_guard lock(m_mutex);
        return m_views.value(feed->uuid()).lock();
    }
    std::shared_ptr<KLRTCMediaVideoRenderView> previewRendererViewForClient(const std::shared_ptr<KLFeedClient> &feed) override
    {
        return feed->isPublisher() ? rendererViewForClient(feed) : nullptr;
    }
    void bound(const QString &uuid, const std::shared_ptr<KLRTCMediaVideoRenderView> &view, bool on)
    {
        std::lock_guard lock(m_mutex);
        if (on)
            m_views.insert(uuid, view);
        else if (m_views.value(uuid).lock() == view)
            m_views.remove(uuid);
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_views.clear();
    }

private:
    std::mutex m_mutex;
    QHash<QString, std::weak_ptr<KLRTCMediaVideoRenderView>> m_views;
};
} // namespace

struct KLMeetingVideoArea::Private {
    std::shared_ptr<KLMeetingLayoutViewController> layout;
    std::shared_ptr<KLConferenceService> service;
    std::shared_ptr<TileViews> views = std::make_shared<TileViews>();
    KLMeetingBigView *big = nullptr;
    std::array<KLMeetingSmallView *, kStripTiles> strip{};
    int stripShown = 0;
};

KLMeetingVideoArea::KLMeetingVideoArea(std::shared_ptr<KLMeetingLayoutViewController> layout, QWidget *parent)
    : QWidget(parent), d(std::make_unique<Private>())
{
    d->layout = std::move(layout);
    d->service = d->layout ? d->layout->service() : nullptr;
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, KLTheme::color(KLTheme::kMeetingBackground));
    setPalette(pal);

    d->big = new KLMeetingBigView(this);
    const bool pallas = d->service ? d->service->isPallasMeeting() : true;
    auto wire = [this, pallas](KLMeetingTileView *tile) {
        tile->setPallasMeeting(pallas);
        connect(tile, &KLMeetingTileView::rendererBound, this,
                [this](const QString &uuid, const std::shared_ptr<KLRTCMediaVideoRenderView> &view, bool on) {
                    d->views->bound(uuid, view, on);
                });
    };
    wire(d->big);
    connect(d->big, &KLMeetingBigView::meetingTimerChanged, this, &KLMeetingVideoArea::meetingTimerChanged);
    for (auto &tile : d->strip) {
        tile = new KLMeetingSmallView(this);
        wire(tile);
        tile->hide();
        // A click on a small tile shows that member large for a while.
        connect(tile, &KLMeetingTileView::clicked, this, [this](const std::shared_ptr<KLFeedClient> &feed) {
            if (d->service)
                d->service->clickedClientFeed(feed);
        });
    }
    if (d->layout)
        KLRenderViewProvider::install(d->layout.get(), d->views);
}

KLMeetingVideoArea::~KLMeetingVideoArea()
{
    releaseRenderViews();
}

void KLMeetingVideoArea::showMainClient(const std::shared_ptr<KLFeedClient> &feed)
{
    d->big->setFeed(feed);
}

void KLMeetingVideoArea::refreshSmallClients()
{
    showSmallClients(d->service ? d->service->smallClients() : QList<std::shared_ptr<KLFeedClient>>());
}

void KLMeetingVideoArea::showSmallClients(QList<std::shared_ptr<KLFeedClient>> feeds)
{
    feeds.removeAll(nullptr);
    if (feeds.size() > kStripTiles) {
        KL_LOG_WARN(kTag, QStringLiteral("%1 small clients, the strip shows %2").arg(feeds.size()).arg(kStripTiles));
        feeds = feeds.mid(0, kStripTiles);
    }
    // A member keeps its tile when it stays in the strip, so its video does not blink.
    std::array<std::shared_ptr<KLFeedClient>, kStripTiles> placed{};
    QList<std::shared_ptr<KLFeedClient>> rest;
    for (const auto &feed : feeds) {
        int kept = -1;
        for (int i = 0; i < kStripTiles; ++i)
            if (d->strip[i]->feed() && d->strip[i]->feed()->uuid() == feed->uuid() && !placed[i]) {
                kept = i;
                break;
            }
        if (kept >= 0)
            placed[kept] = feed;
        else
            rest.append(feed);
    }
    for (int i = 0; i < kStripTiles && !rest.isEmpty(); ++i)
        if (!placed[i])
            placed[i] = rest.takeFirst();
    // Tiles fill from the top: close gaps left by members who went.
    std::array<std::shared_ptr<KLFeedClient>, kStripTiles> ordered{};
    int n = 0;
    for (const auto &feed : placed)
        if (feed)
            ordered[n++] = feed;
    for (int i = 0; i < kStripTiles; ++i) {
        d->strip[i]->setFeed(ordered[i]);
        d->strip[i]->setVisible(ordered[i] != nullptr);
    }
    d->stripShown = n;
    relayout();
}

void KLMeetingVideoArea::clientLeave(const std::shared_ptr<KLFeedClient> &feed)
{
    const auto shown = d->big->feed();
    if (!feed || !shown || shown->uuid() != feed->uuid() || feed->isPublisher())
        return;
    d->big->stopRenderer();
}

void KLMeetingVideoArea::enterRoomSuccess()
{
    d->big->startMeetingTimer();
}

void KLMeetingVideoArea::setMemberList(std::weak_ptr<KLMemberListViewController> memberList)
{
    d->big->setMemberList(memberList);
    for (auto *tile : d->strip)
        tile->setMemberList(memberList);
}

void KLMeetingVideoArea::refreshTiles()
{
    d->big->refresh();
    for (auto *tile : d->strip)
        if (tile->feed())
            tile->refresh();
}

void KLMeetingVideoArea::stopMeetingTimer()
{
    d->big->stopMeetingTimer();
}

void KLMeetingVideoArea::releaseRenderViews()
{
    d->big->stopMeetingTimer();
    d->big->setFeed(nullptr);
    for (auto *tile : d->strip) {
        tile->setFeed(nullptr);
        tile->hide();
    }
    d->stripShown = 0;
    d->views->clear();
    if (d->layout)
        KLRenderViewProvider::remove(d->layout.get(), d->views.get());
}

QString KLMeetingVideoArea::meetingTimerText() const
{
    return d->big->meetingTimerText();
}

KLMeetingBigView *KLMeetingVideoArea::bigView() const
{
    return d->big;
}

KLMeetingSmallView *KLMeetingVideoArea::smallView(int index) const
{
    return index >= 0 && index < kStripTiles ? d->strip[index] : nullptr;
}

int KLMeetingVideoArea::smallViewsShown() const
{
    return d->stripShown;
}

void KLMeetingVideoArea::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

// The strip is a column on the right, tiles of 16:9; the big view takes the rest. Without a
// strip the big view takes everything.
void KLMeetingVideoArea::relayout()
{
    const QRect area = rect();
    if (d->stripShown == 0) {
        d->big->setGeometry(area);
        return;
    }
    const int stripWidth = qBound(120, area.width() / 5, 240);
    const int tileHeight = qMin(stripWidth * 9 / 16, (area.height() - kSpacing * (kStripTiles + 1)) / kStripTiles);
    d->big->setGeometry(0, 0, area.width() - stripWidth - kSpacing * 2, area.height());
    const int x = area.width() - stripWidth - kSpacing;
    int y = kSpacing;
    for (auto *tile : d->strip) {
        if (!tile->feed())
            continue;
        tile->setGeometry(x, y, stripWidth, tileHeight);
        y += tileHeight + kSpacing;
    }
}
