#pragma once

// The meeting view's video: the big view with the feed the registry chose for the main area and
// the strip of up to four small tiles beside it. The layout's widget forwards what the layout
// controller tells it; this widget asks the meeting for the feeds and their render views and
// only draws. Main thread only.

#include <QWidget>

#include <memory>

class KLFeedClient;
class KLMeetingBigView;
class KLMeetingLayoutViewController;
class KLMeetingSmallView;
class KLMemberListViewController;

class KLMeetingVideoArea : public QWidget {
    Q_OBJECT
public:
    explicit KLMeetingVideoArea(std::shared_ptr<KLMeetingLayoutViewController> layout,
                                QWidget *parent = nullptr);
    ~KLMeetingVideoArea() override;

    /// The big view shows `feed` (null: nothing chosen yet).
    void showMainClient(const std::shared_ptr<KLFeedClient> &feed);
    /// The strip is read again from the meeting (its small clients, at most four).
    void refreshSmallClients();
    /// The strip shows `feeds` (at most four; a member already shown keeps its tile).
    void showSmallClients(QList<std::shared_ptr<KLFeedClient>> feeds);
    /// A client left: its renderer stops when the big view shows it.
    void clientLeave(const std::shared_ptr<KLFeedClient> &feed);
    /// The room was entered: the big view's meeting timer starts (once).
    void enterRoomSuccess();
    /// The window closes: every tile lets go of its render view.
    void releaseRenderViews();
    /// The member list whose mute rule the tiles' mute buttons follow.
    void setMemberList(std::weak_ptr<KLMemberListViewController> memberList);
    /// Members or their media changed: every tile reads its feed again.
    void refreshTiles();
    /// The meeting was left: the meeting timer stops.
    void stopMeetingTimer();

    /// The meeting timer's text ("00:00:00" until the room is entered).
    QString meetingTimerText() const;
    KLMeetingBigView *bigView() const;
    /// The strip's tile at `index` (0..3), shown or not; null outside.
    KLMeetingSmallView *smallView(int index) const;
    /// How many strip tiles show a member.
    int smallViewsShown() const;

Q_SIGNALS:
    /// Every second once the room is entered, for a header that shows the meeting's length.
    void meetingTimerChanged(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void relayout();

    struct Private;
    std::unique_ptr<Private> d;
};
