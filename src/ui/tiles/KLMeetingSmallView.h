#pragma once

// One tile of the strip beside the big view: a member's video or placeholder with the short
// name ("me" for oneself), the mute mark, the network indicator and the animations.

#include "ui/tiles/KLMeetingTileView.h"

class KLMeetingSmallView : public KLMeetingTileView {
    Q_OBJECT
public:
    explicit KLMeetingSmallView(QWidget *parent = nullptr);
    QLabel *muteLabel() const { return m_mute; }

protected:
    void layoutOverlays() override;
    void stateChanged() override;

private:
    QLabel *m_mute;
};
