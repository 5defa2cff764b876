#pragma once

// A message received on the signal channel, read as a reply envelope. Pushes read the same
// way; their request id simply matches nothing.

#include <QJsonObject>
#include <QString>

struct KLSDKApiChannelResponse {
    QString messageId;
    QString topic;
    QString messageType;
    QString requestId;
    qint64 bornTime = 0;
    qint64 arriveTime = 0;
    bool response = false;     ///< true when the message is a reply
    qint64 responseCode = 0;   ///< 200 = success
    QString responseMsg;
    QJsonObject from;
    QJsonObject to;
    QJsonObject data;          ///< "data", or "body" when "data" is absent or null

    /// Reads the keys with the typed getters: a value of the wrong type reads as empty, 0 or
    /// false.
    static KLSDKApiChannelResponse initWithDict(const QJsonObject &dict);
    /// A local response (`response` false) with the given code and message.
    static KLSDKApiChannelResponse responseWithCode(qint64 code, const QString &msg);
};
