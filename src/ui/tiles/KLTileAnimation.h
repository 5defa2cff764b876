#pragma once

// The frame animations of a tile (calling, speaking). The timer runs on a thread of its own
// with its own event loop, as the tiles' animations always have; each tick only posts the next
// frame's name to the main thread, where the image is set. Stopping (hiding the animation) ends
// the timer and the thread.

#include <QLabel>

#include <functional>
#include <memory>

class KLDispatchQueue;
class KLSDKGCDTimer;

class KLTileAnimation {
public:
    /// Frames are drawn into `target` (main thread); the timer thread is named `threadName`.
    KLTileAnimation(QLabel *target, QString threadName);
    ~KLTileAnimation();
    KLTileAnimation(const KLTileAnimation &) = delete;
    KLTileAnimation &operator=(const KLTileAnimation &) = delete;

    /// Shows `frameCount` frames named by `frameName(index)` in a cycle, one every
    /// `frameSeconds` (scaled by the time scale). Restarting with the same names does nothing.
    void start(std::function<QString(int)> frameName, int frameCount, double frameSeconds, const QString &key);
    /// Stops the timer, ends the thread and hides the target.
    void stop();
    bool isRunning() const { return m_timer != nullptr; }
    /// Frames set on the target since the last start (main thread).
    int framesShown() const;
    /// The name of the frame last set (main thread).
    QString currentFrame() const;
    /// The thread the last frame's tick ran on (main thread read).
    QString tickThreadName() const;

    struct Shared;

private:
    QLabel *m_target;
    QString m_threadName;
    QString m_key;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<KLDispatchQueue> m_queue;
    std::shared_ptr<KLSDKGCDTimer> m_timer;
};

namespace KLTileAnimationFrames {
/// The picture of an animation frame ("calling_ani_7", "speak_ani_l_3", "speak_ani_12") at
/// `size` logical pixels, drawn by code and kept once drawn; null for an unknown name.
QPixmap pixmap(const QString &name, const QSize &size, qreal devicePixelRatio);
} // namespace KLTileAnimationFrames
