#pragma once

// Topics of the signal channel's envelopes and the error code of a request that got no reply.

#include <QString>
#include <QtGlobal>

inline const QString KLSDKApiChannelTopicWS = QStringLiteral("wsmessage");
inline const QString KLSDKApiChannelTopicMedia = QStringLiteral("media");
inline const QString KLSDKApiChannelTopicMeeting = QStringLiteral("meeting");
inline const QString KLSDKApiChannelTopicStatus = QStringLiteral("meeting_status");
inline const QString KLSDKApiChannelTopicControl = QStringLiteral("meeting_control");

/// The response code of a request whose reply did not come in time, or that was still waiting
/// when signalling stopped.
inline constexpr qint64 KLSDKApiChannelErrorTimeout = -1;
