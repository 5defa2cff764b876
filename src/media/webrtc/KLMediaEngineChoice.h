#pragma once

// Which engine a meeting runs on, from the meeting dictionary's "mediaEngine".

#include <QString>

/// Applies a meeting's "mediaEngine" as the meeting service is made.
///
/// The dictionary decides between the SDK's own engines: "webrtc" or no key installs the WebRTC
/// engine (made once per process) when GStreamer has what it needs, otherwise an error line
/// says why and the built-in engine is used; "builtin" takes the WebRTC engine out again, back
/// to the built-in (default) engine. An unknown name is logged and taken as no key.
///
/// An engine installed with KLRTCMediaSDK::install() by anyone else (a host's own engine, a
/// test's fake) wins over the dictionary: it stays in use and the key is not applied, so an
/// install before the join is never undone silently. `install(nullptr)` hands the choice back
/// to the dictionary (and the built-in engine serves until the next meeting chooses).
void KL_chooseMediaEngine(const QString &name);
