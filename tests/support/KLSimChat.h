#pragma once

// What the clients said in the simulated meeting's chat: the texts of the chat messages that
// reached the simulator's media server over a data channel, in order.

#include "MeetingSim.h"

#include <QStringList>

namespace kltest {

inline QStringList sentChatTexts(const kelvosim::MeetingSim &sim)
{
    QStringList texts;
    for (const kelvosim::SimMediaFrame &frame : sim.mediaFrames()) {
        const QJsonObject data = frame.message.value(QLatin1String("data")).toObject();
        if (frame.message.value(QLatin1String("type")).toString() == QLatin1String("data")
            && data.value(QLatin1String("type")).toString() == QLatin1String("chatMsg"))
            texts.append(data.value(QLatin1String("content")).toObject().value(QLatin1String("text")).toString());
    }
    return texts;
}

} // namespace kltest
