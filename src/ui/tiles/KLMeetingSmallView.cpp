#include "ui/tiles/KLMeetingSmallView.h"

KLMeetingSmallView::KLMeetingSmallView(QWidget *parent) : KLMeetingTileView(false, parent)
{
}
