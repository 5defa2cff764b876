#pragma once

// One tile of the strip beside the big view: a member's video or placeholder with the short
// name ("me" for oneself), the mute button, the network indicator and the animations.

#include "ui/tiles/KLMeetingTileView.h"

class KLMeetingSmallView : public KLMeetingTileView {
    Q_OBJECT
public:
    explicit KLMeetingSmallView(QWidget *parent = nullptr);
};
