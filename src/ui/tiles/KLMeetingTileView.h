#pragma once

// What the big view and the small tiles share: one feed drawn as its video (KLVideoRenderWidget),
// its share background or its name placeholder, with the name line, the network indicator and
// the calling and speaking animations over it. The tile takes its state from KLVideoTileModel,
// plays the feed's stream into its render view while it shows the feed, and redraws on the
// notifications that concern its feed. Main thread only.

#include "window/KLVideoTileModel.h"

#include <QLabel>
#include <QWidget>

#include <memory>

class KLFeedClient;
class KLMemberListViewController;
class KLRTCMediaStream;
class QToolButton;
class KLTileAnimation;
class KLUiThreadLink;
class KLVideoRenderWidget;
class KLRTCMediaVideoRenderView;

class KLMeetingTileView : public QWidget {
    Q_OBJECT
public:
    ~KLMeetingTileView() override;

    /// Shows `feed` (null: nothing). The same feed again only refreshes.
    void setFeed(const std::shared_ptr<KLFeedClient> &feed);
    std::shared_ptr<KLFeedClient> feed() const { return m_feed; }
    /// Reads the feed again and redraws; rebinds the render view when the stream changed.
    void refresh();
    /// Stops playing into this tile's view (the feed stays shown as its placeholder).
    void stopRenderer();
    /// Whether the meeting runs on the Pallas media server (network indicators).
    void setPallasMeeting(bool pallas);
    /// The member list whose mute rule and toggle the tile's mute button uses; without one the
    /// button only marks a muted member.
    void setMemberList(std::weak_ptr<KLMemberListViewController> memberList);

    KLVideoRenderWidget *videoWidget() const { return m_video; }
    std::shared_ptr<KLRTCMediaVideoRenderView> renderView() const;
    const KLVideoTileState &state() const { return m_state; }
    QLabel *nameLabel() const { return m_name; }
    QLabel *networkLabel() const { return m_network; }
    QToolButton *muteButton() const { return m_muteButton; }
    const KLTileAnimation &callingAnimation() const { return *m_calling; }
    const KLTileAnimation &speakingAnimation() const { return *m_speaking; }

Q_SIGNALS:
    /// The tile plays (or stopped playing, null) `feed` into `view`.
    void rendererBound(const QString &uuid, const std::shared_ptr<KLRTCMediaVideoRenderView> &view, bool bound);
    /// The user clicked the tile.
    void clicked(const std::shared_ptr<KLFeedClient> &feed);

protected:
    KLMeetingTileView(bool bigView, QWidget *parent);
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    /// Places the overlays; subclasses add their own after calling this.
    virtual void layoutOverlays();
    /// Called after every refresh with the new state.
    virtual void stateChanged() {}
    void observe(const QString &notification, bool anyClient);
    bool isBigView() const { return m_bigView; }

private:
    void bindStream();
    void unbindStream();
    void applyState();
    void applyMuteButton();
    void muteButtonClicked();

    const bool m_bigView;
    bool m_pallas = true;
    std::shared_ptr<KLFeedClient> m_feed;
    std::weak_ptr<KLRTCMediaStream> m_boundStream;
    bool m_bound = false;
    KLVideoTileState m_state;
    std::shared_ptr<KLUiThreadLink> m_link;
    KLVideoRenderWidget *m_video;
    QLabel *m_name;
    QLabel *m_network;
    QLabel *m_roomLabel;
    QLabel *m_callingLabel;
    QLabel *m_speakingLabel;
    QToolButton *m_muteButton;
    std::weak_ptr<KLMemberListViewController> m_memberList;
    std::unique_ptr<KLTileAnimation> m_calling;
    std::unique_ptr<KLTileAnimation> m_speaking;
};
