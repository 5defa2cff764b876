#pragma once

// A request on the signal channel: the nine-key envelope on the wire, plus what the sender
// keeps for matching the reply.

#include "signalling/KLSDKApiChannelResponse.h"

#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>

struct KLSDKApiChannelRequest {
    using Callback = std::function<void(const KLSDKApiChannelResponse &response)>;

    QString messageId;
    QString requestId;
    qint64 bornTime = 0;
    qint64 arriveTime = 0;
    QJsonObject from;   ///< empty: filled with the default sender when sent
    QJsonObject to;     ///< empty: filled with the default receiver when sent
    QString topic;
    QString messageType;
    QJsonObject body;
    double timeout = 30.0;      ///< seconds the reply may take; not sent
    bool callbackable = true;   ///< a reply is expected and matched; not sent
    Callback callback;          ///< not sent

    /// A request with fresh upper-case UUIDs and the current time.
    static std::shared_ptr<KLSDKApiChannelRequest> make(const QString &topic,
                                                        const QString &messageType,
                                                        const QJsonObject &body);
    /// Exactly the nine wire keys.
    QJsonObject toJSONObject() const;
    /// The wire object as pretty-printed JSON.
    QString toJSONString() const;
    /// Runs the callback, when one is set.
    void doCallback(const KLSDKApiChannelResponse &response) const;
};
