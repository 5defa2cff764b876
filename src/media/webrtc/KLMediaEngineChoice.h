#pragma once

// Which engine a meeting runs on, from the meeting dictionary's "mediaEngine".

#include <QString>

/// "webrtc": the WebRTC engine is installed (made once per process) when GStreamer has what it
/// needs, otherwise an error line says why and the default engine stays. "builtin" or empty:
/// the WebRTC engine this function installed is taken out again, back to the default engine;
/// an engine installed by anyone else is left alone. Other names are logged and ignored.
void KL_chooseMediaEngine(const QString &name);
