#include "signalling/KLSignalingMessage.h"

#include <QStringList>

QJsonValue KLSignalingMessage::valueAtPath(const QJsonObject &object, const QString &path)
{
    const QJsonValue whole = object.value(path);
    if (!whole.isUndefined() && !whole.isNull())
        return whole;
    QJsonValue current = object;
    for (const QString &step : path.split(QLatin1Char('.'))) {
        if (!current.isObject())
            return QJsonValue(QJsonValue::Undefined);
        current = current.toObject().value(step);
        if (current.isNull())
            return QJsonValue(QJsonValue::Undefined);
    }
    return current;
}

KLSignalingMessage KLSignalingMessage::initWithMessageSource(qint64 source,
                                                             const QJsonObject &message)
{
    KLSignalingMessage signal;
    signal.source = source;
    signal.messBody = valueAtPath(message, QStringLiteral("data.body"));
    if (valueAtPath(message, QStringLiteral("data.type")).toString() == QLatin1String("summary")) {
        signal.messageType = 11;
        const QString sessionId = valueAtPath(message, QStringLiteral("data.body.sessionId")).toString();
        const qsizetype cut = sessionId.indexOf(QLatin1String("vantorameeting"));
        signal.memberUUID = cut >= 0 ? sessionId.left(cut) : sessionId;
        return signal;
    }
    const QJsonValue eventId = valueAtPath(message, QStringLiteral("data.body.eventId"));
    if (eventId.isDouble())
        signal.messageType = static_cast<qint64>(eventId.toDouble());
    else if (eventId.isString())
        signal.messageType = eventId.toString().toLongLong();
    signal.memberUUID = valueAtPath(message, QStringLiteral("data.body.memberUUID")).toString();
    return signal;
}
