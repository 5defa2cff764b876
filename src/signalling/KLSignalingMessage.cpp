#include "signalling/KLSignalingMessage.h"

#include "model/KLJSONReader.h"

#include <QStringView>

namespace {

// A present value: missing and null both read as undefined.
QJsonValue presentValue(const QJsonValue &value)
{
    return value.isNull() ? QJsonValue(QJsonValue::Undefined) : value;
}

// One step of a path walk: the member `key` of `current` while it is an object.
QJsonValue step(const QJsonValue &current, QLatin1String key)
{
    return current.isObject() ? presentValue(current.toObject().value(key))
                              : QJsonValue(QJsonValue::Undefined);
}

// A key equal to the whole path wins over the walk (see valueAtPath).
QJsonValue wholeKeyOr(const QJsonObject &object, QLatin1String path, const QJsonValue &walked)
{
    const QJsonValue whole = object.value(path);
    return whole.isUndefined() || whole.isNull() ? walked : whole;
}

} // namespace

QJsonValue KLSignalingMessage::valueAtPath(const QJsonObject &object, const QString &path)
{
    const QJsonValue whole = object.value(path);
    if (!whole.isUndefined() && !whole.isNull())
        return whole;
    QJsonValue current = object;
    // Steps are views into `path`: no list and no copies of the keys.
    const QStringView rest(path);
    qsizetype from = 0;
    while (true) {
        const qsizetype dot = rest.indexOf(QLatin1Char('.'), from);
        const QStringView key = rest.mid(from, dot < 0 ? -1 : dot - from);
        if (!current.isObject())
            return QJsonValue(QJsonValue::Undefined);
        current = current.toObject().value(key);
        if (current.isNull())
            return QJsonValue(QJsonValue::Undefined);
        if (dot < 0)
            return current;
        from = dot + 1;
    }
}

KLSignalingMessage KLSignalingMessage::initWithMessageSource(qint64 source,
                                                             const QJsonObject &message)
{
    // Every push is read on the signalling queue: "data" and "data.body" are walked once and
    // the four paths below read from them, each still giving way to a key spelt as the whole
    // path, as valueAtPath does.
    const QJsonValue data = presentValue(message.value(QLatin1String("data")));
    const QJsonValue nestedBody = step(data, QLatin1String("body"));

    KLSignalingMessage signal;
    signal.source = source;
    signal.messBody = wholeKeyOr(message, QLatin1String("data.body"), nestedBody);
    const QJsonValue type = wholeKeyOr(message, QLatin1String("data.type"), step(data, QLatin1String("type")));
    if (type.toString() == QLatin1String("summary")) {
        signal.messageType = 11;
        const QString sessionId = wholeKeyOr(message, QLatin1String("data.body.sessionId"),
                                             step(nestedBody, QLatin1String("sessionId")))
                                      .toString();
        const qsizetype cut = sessionId.indexOf(QLatin1String("vantorameeting"));
        signal.memberUUID = cut >= 0 ? sessionId.left(cut) : sessionId;
        return signal;
    }
    const QJsonValue eventId = wholeKeyOr(message, QLatin1String("data.body.eventId"),
                                          step(nestedBody, QLatin1String("eventId")));
    if (eventId.isDouble())
        signal.messageType = KL_truncatedInteger(eventId.toDouble());
    else if (eventId.isString())
        signal.messageType = eventId.toString().toLongLong();
    signal.memberUUID = wholeKeyOr(message, QLatin1String("data.body.memberUUID"),
                                   step(nestedBody, QLatin1String("memberUUID")))
                            .toString();
    return signal;
}
