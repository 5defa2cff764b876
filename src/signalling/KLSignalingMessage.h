#pragma once

// What the signal channel hands to the conference service for every push (and for replies to
// status requests): the event number, its body and the member it is about.

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

struct KLSignalingMessage {
    /// 1: received on the signal channel.
    qint64 source = 0;
    /// The event number: "data.body.eventId", or 11 for a summary push.
    qint64 messageType = 0;
    /// The value at "data.body".
    QJsonValue messBody;
    QString memberUUID;

    /// Reads a received object: a "summary" push (data.type) is event 11 about the member
    /// whose id precedes "vantorameeting" in "data.body.sessionId" (the whole id when it has
    /// no such part); any other message takes "data.body.eventId" (0 when missing or not a
    /// number, or beyond 64 bits) and "data.body.memberUUID".
    static KLSignalingMessage initWithMessageSource(qint64 source, const QJsonObject &message);

    /// The value at a dot-separated path: a key equal to the whole path first, else the steps
    /// through nested objects; undefined when a step is missing, not an object, or null.
    static QJsonValue valueAtPath(const QJsonObject &object, const QString &path);
};
