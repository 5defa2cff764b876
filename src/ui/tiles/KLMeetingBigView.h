#pragma once

// The big view: the feed chosen for the main area, with its full name (and the mute suffix),
// the lock control that pins or unpins it, the label of a meeting room and the meeting timer,
// which starts once the room is entered and counts whole hours, minutes and seconds.

#include "ui/tiles/KLMeetingTileView.h"

#include <QElapsedTimer>

#include <memory>

class QPushButton;
class KLTimer;

class KLMeetingBigView : public KLMeetingTileView {
    Q_OBJECT
public:
    explicit KLMeetingBigView(QWidget *parent = nullptr);
    ~KLMeetingBigView() override;

    /// Starts the meeting timer; a second call does nothing.
    void startMeetingTimer();
    void stopMeetingTimer();
    bool isMeetingTimerRunning() const;
    /// The timer's text ("00:00:00" before it starts).
    QString meetingTimerText() const;

    QPushButton *lockButton() const { return m_lock; }
    QLabel *timerLabel() const { return m_timer; }

Q_SIGNALS:
    void meetingTimerChanged(const QString &text);

protected:
    void layoutOverlays() override;
    void stateChanged() override;

private:
    void lockClicked();
    void tick();

    QPushButton *m_lock;
    QLabel *m_timer;
    std::unique_ptr<KLTimer> m_meetingTimer;
    QElapsedTimer m_elapsed;
    bool m_timerStarted = false;
};
