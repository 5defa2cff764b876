#pragma once

// What a video tile shows, decided without widgets: the name line, the network indicator, which
// content fills the tile, the room label, the frame names of the calling and speaking
// animations and the big view's meeting timer. The tile widgets read one KLVideoTileState per
// refresh and only draw it.

#include <QString>

#include <memory>

class KLFeedClient;

/// What fills a tile.
enum class KLVideoTileContent {
    Video,       ///< the render view on black: the feed sends video
    ScreenShare, ///< the share background with the "sharing" label
    Avatar,      ///< the member's picture or name placeholder
};

/// The network indicator of a tile.
struct KLVideoTileNetwork {
    bool visible = false;
    QString icon;       ///< icon key, e.g. "conf_network_signal_good"
    QString tooltipKey; ///< "NETWORK_BAD_TOOLTIP" or "NETWORK_GOOD_TOOLTIP"
    bool operator==(const KLVideoTileNetwork &) const = default;
};

/// Everything a tile draws for one feed at one moment.
struct KLVideoTileState {
    QString uuid;
    QString name;          ///< the name line (localised); empty hides it
    QString displayName;   ///< the full name, for the placeholder and tooltips
    KLVideoTileContent content = KLVideoTileContent::Avatar;
    KLVideoTileNetwork network;
    QString roomLabel;     ///< localised "in the meeting" / "not joined" for rooms; else empty
    QString empId;         ///< the avatar's key for a person
    bool isSelf = false;
    bool muted = false;    ///< the call state's mute value is 1
    bool calling = false;  ///< the calling animation runs
    bool speaking = false; ///< the speaking animation runs
    bool locked = false;
    bool isRoom = false;
};

namespace KLVideoTileModel {

/// Names longer than this are shortened in small tiles.
inline constexpr int kSmallNameLimit = 11;
/// ...to this many characters and "...".
inline constexpr int kSmallNameKeep = 12;
inline constexpr int kCallingFrames = 30;
inline constexpr int kSpeakingFrames = 18;
/// Both animations show one frame per this many seconds.
inline constexpr double kAnimationFrameSeconds = 0.03;

/// Small tile: "SELF_TIPS" for the local user, else the name, shortened past 11 characters.
QString smallTileName(const QString &displayName, bool isSelf);
/// Big view: empty stays empty (label hidden); a muted member gets the mute suffix.
QString bigViewName(const QString &displayName, bool muted);
/// The indicator for a Pallas meeting's member by its net score; hidden for oneself, for the
/// offline and outside Pallas meetings.
KLVideoTileNetwork network(bool pallasMeeting, bool isSelf, bool online, qint64 netScore);
/// Video when the feed sends video (except one's own share, which would mirror the screen),
/// else the share background for a share, else the avatar.
KLVideoTileContent content(bool sendsVideo, bool isShare, bool isOwnShare);
/// The room label's key: "IN_MEETING_TIPS" online, "ROOM_COUNT_TIPS" not; empty for others.
QString roomLabelKey(bool isRoom, bool online);
/// "%02ld:%02ld:%02ld" of whole hours (not wrapping at 24), minutes and seconds.
QString meetingTimerText(qint64 seconds);
/// "calling_ani_<i>" for i in 0..29 (wrapping).
QString callingFrameName(int index);
/// "speak_ani_l_<i>" in the big view, "speak_ani_<i>" in small tiles, i in 0..17 (wrapping).
QString speakingFrameName(bool bigView, int index);

/// The whole state of a tile for `feed` (null: an empty tile).
KLVideoTileState describe(const std::shared_ptr<KLFeedClient> &feed, bool bigView, bool pallasMeeting);

} // namespace KLVideoTileModel
