#include "ui/tiles/KLTileAnimation.h"

#include "runtime/KLDispatchQueue.h"
#include "runtime/KLSDKGCDTimer.h"
#include "ui/KLUiThreadLink.h"
#include "ui/KLTheme.h"

#include <QHash>
#include <QPainter>
#include <QThread>
#include <QtMath>

#include <atomic>

struct KLTileAnimation::Shared {
    std::shared_ptr<KLUiThreadLink> link;
    std::function<QString(int)> frameName;
    int frameCount = 1;
    std::atomic<int> tick{0};
    // Main thread only.
    int shown = 0;
    QString current;
    QString tickThread;
};

KLTileAnimation::KLTileAnimation(QLabel *target, QString threadName)
    : m_target(target), m_threadName(std::move(threadName))
{
}

KLTileAnimation::~KLTileAnimation()
{
    stop();
}

void KLTileAnimation::start(std::function<QString(int)> frameName, int frameCount, double frameSeconds,
                            const QString &key)
{
    if (m_timer && key == m_key)
        return;
    stop();
    m_key = key;
    auto shared = std::make_shared<Shared>();
    shared->link = KLUiThreadLink::create(m_target);
    shared->frameName = std::move(frameName);
    shared->frameCount = qMax(1, frameCount);
    m_shared = shared;
    m_queue = std::make_unique<KLDispatchQueue>(m_threadName);
    QLabel *target = m_target;
    std::weak_ptr<Shared> weak = shared;
    auto showFrame = [target, weak](const QString &name, const QString &thread) {
        auto live = weak.lock();
        if (!live)
            return;
        live->tickThread = thread;
        const QSize size = target->size();
        target->setPixmap(KLTileAnimationFrames::pixmap(name, size, target->devicePixelRatioF()));
        live->current = name;
        ++live->shown;
    };
    // The first frame at once, the rest from the animation's own thread.
    showFrame(shared->frameName(0), QString());
    m_target->show();
    m_timer = KLSDKGCDTimer::scheduledTimerWithTimeInterval(
        frameSeconds, std::static_pointer_cast<void>(shared),
        [raw = shared.get(), showFrame] {
            const int index = raw->tick.fetch_add(1) + 1;
            const QString name = raw->frameName(index % raw->frameCount);
            const QString thread = QThread::currentThread()->objectName();
            raw->link->post([showFrame, name, thread] { showFrame(name, thread); });
        },
        m_queue.get(), {}, true);
}

void KLTileAnimation::stop()
{
    if (m_shared)
        m_shared->link->detach();
    m_timer.reset(); // no tick reaches the target after this
    m_queue.reset(); // the thread ends
    m_shared.reset();
    m_key.clear();
    if (m_target) {
        m_target->hide();
        m_target->clear();
    }
}

int KLTileAnimation::framesShown() const
{
    return m_shared ? m_shared->shown : 0;
}

QString KLTileAnimation::tickThreadName() const
{
    return m_shared ? m_shared->tickThread : QString();
}

QString KLTileAnimation::currentFrame() const
{
    return m_shared ? m_shared->current : QString();
}

namespace KLTileAnimationFrames {

namespace {

// Calling: three rings spreading out from a handset dot, one cycle over the 30 frames.
void drawCalling(QPainter &p, const QSizeF &size, int index)
{
    const QPointF centre(size.width() / 2, size.height() / 2);
    const qreal radius = qMin(size.width(), size.height()) / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(KLTheme::color(KLTheme::kAccentBlue));
    p.drawEllipse(centre, radius * 0.28, radius * 0.28);
    for (int ring = 0; ring < 3; ++ring) {
        const qreal phase = std::fmod(index / 30.0 + ring / 3.0, 1.0);
        QColor c = KLTheme::color(KLTheme::kAccentBlue, 0.85 * (1.0 - phase));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(c, qMax<qreal>(1.0, radius * 0.08)));
        const qreal r = radius * (0.34 + 0.6 * phase);
        p.drawEllipse(centre, r, r);
    }
}

// Speaking: sound bars rising and falling out of step, one cycle over the 18 frames.
void drawSpeaking(QPainter &p, const QSizeF &size, int index, bool large)
{
    const int bars = large ? 5 : 3;
    const qreal gap = size.width() / (bars * 2 + 1);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(QStringLiteral("#33D17A")));
    for (int bar = 0; bar < bars; ++bar) {
        const qreal phase = (index / 18.0 + bar * 0.27) * 2 * M_PI;
        const qreal level = 0.3 + 0.7 * (0.5 + 0.5 * qSin(phase));
        const qreal h = size.height() * 0.9 * level;
        const QRectF r(gap * (1 + bar * 2), (size.height() - h) / 2, gap, h);
        p.drawRoundedRect(r, gap / 2, gap / 2);
    }
}

bool parse(const QString &name, const QString &prefix, int count, int *index)
{
    if (!name.startsWith(prefix))
        return false;
    bool ok = false;
    const int value = name.mid(prefix.size()).toInt(&ok);
    if (!ok || value < 0 || value >= count)
        return false;
    *index = value;
    return true;
}

} // namespace

QPixmap pixmap(const QString &name, const QSize &size, qreal devicePixelRatio)
{
    if (size.isEmpty())
        return {};
    static QHash<QString, QPixmap> cache; // main thread only
    const QString key = QStringLiteral("%1@%2x%3@%4").arg(name).arg(size.width()).arg(size.height()).arg(devicePixelRatio);
    if (const auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    int index = 0;
    enum { Calling, SpeakingLarge, Speaking } kind;
    if (parse(name, QStringLiteral("calling_ani_"), 30, &index))
        kind = Calling;
    else if (parse(name, QStringLiteral("speak_ani_l_"), 18, &index))
        kind = SpeakingLarge;
    else if (parse(name, QStringLiteral("speak_ani_"), 18, &index))
        kind = Speaking;
    else
        return {};
    QPixmap pm(size * devicePixelRatio);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (kind == Calling)
        drawCalling(p, QSizeF(size), index);
    else
        drawSpeaking(p, QSizeF(size), index, kind == SpeakingLarge);
    p.end();
    if (cache.size() > 512)
        cache.clear();
    cache.insert(key, pm);
    return pm;
}

} // namespace KLTileAnimationFrames
