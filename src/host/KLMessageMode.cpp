#include "host/KLMessageMode.h"

#include "host/KLHostPipe.h"
#include "host/UserPersistentData.h"
#include "runtime/KLSDKLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

#include <chrono>

namespace {

const QString kTag = QStringLiteral("KLMessageMode");

QString describeThread(const QThread *thread)
{
    const QString name = thread->objectName();
    return QStringLiteral("%1 (0x%2)")
        .arg(name.isEmpty() ? QStringLiteral("unnamed") : name)
        .arg(reinterpret_cast<quintptr>(thread), 0, 16);
}

QString prettyText(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

} // namespace

KLMessageMode &KLMessageMode::sharedInstance()
{
    // Never destroyed: messages composed while the process exits still find their queue.
    static KLMessageMode *instance = new KLMessageMode(UsePipe{});
    return *instance;
}

KLMessageMode::KLMessageMode(Sink sink)
    : m_queue(QStringLiteral("com.kelvo.messagemode.serial")), m_sink(std::move(sink))
{
    KL_LOG_INFO(kTag, QStringLiteral("Message Mode Init"));
    messageModeInit();
}

KLMessageMode::KLMessageMode(UsePipe) : m_queue(QStringLiteral("com.kelvo.messagemode.serial"))
{
    KL_LOG_INFO(kTag, QStringLiteral("Message Mode Init"));
    m_pipe = std::make_unique<KLHostPipe>(
        m_queue, []() { return UserPersistentData::sharedInstance().readPipeName(); });
    KLHostPipe *pipe = m_pipe.get();
    m_sink = [pipe](const QByteArray &message) { pipe->send(message); };
    messageModeInit();
}

KLMessageMode::~KLMessageMode()
{
    m_queue.sync([]() {});
}

void KLMessageMode::messageModeInit()
{
    m_queue.async([this]() {
        KL_LOG_INFO(kTag, QStringLiteral("kelvo messagemode: current thread %1")
                              .arg(describeThread(QThread::currentThread())));
        const QString pipeName = UserPersistentData::sharedInstance().readPipeName();
        KL_LOG_INFO(kTag, QStringLiteral("kelvo messagemode pipe name: %1")
                              .arg(pipeName.isNull() ? QStringLiteral("(null)") : pipeName));
        if (!pipeName.isEmpty())
            KL_LOG_INFO(kTag, QStringLiteral("kelvo messagemode pipeName %1").arg(pipeName));
        notifyNativeStart();
    });
}

QByteArray KLMessageMode::sendMessage(const QString &path, const std::optional<QJsonObject> &body,
                                      bool isMulti)
{
    QJsonObject envelope;
    envelope.insert(QStringLiteral("path"), path);
    const QString track = UserPersistentData::sharedInstance().readTanduTrack();
    envelope.insert(QStringLiteral("track"), track.isNull() ? QStringLiteral("") : track);
    envelope.insert(QStringLiteral("withResponse"), false);
    if (isMulti)
        envelope.insert(QStringLiteral("isMulti"), true);
    if (body)
        envelope.insert(QStringLiteral("body"), *body);
    const QByteArray text = QJsonDocument(envelope).toJson(QJsonDocument::Indented);
    if (m_sink)
        m_sink(text);
    return text;
}

void KLMessageMode::notifyNativeStart()
{
    sendMessage(QStringLiteral("/kelvo/started"), std::nullopt, false);
}

void KLMessageMode::notifyWorkStatus(int status)
{
    const QByteArray text = sendMessage(QStringLiteral("/projector/NotifyWorkStatus"),
                                        QJsonObject{{QStringLiteral("status"), status}}, true);
    KL_LOG_INFO(kTag,
                QStringLiteral("projector send notifyWorkStatus: %1").arg(QString::fromUtf8(text)));
}

void KLMessageMode::notifyErrorStatus(int status, const QJsonValue &message)
{
    QString param = QStringLiteral("");
    if (message.isObject())
        param = prettyText(message.toObject());
    else if (message.isArray())
        param = QString::fromUtf8(QJsonDocument(message.toArray()).toJson(QJsonDocument::Indented));
    const QByteArray text = sendMessage(
        QStringLiteral("/projector/NotifyWorkStatus"),
        QJsonObject{{QStringLiteral("status"), status}, {QStringLiteral("param"), param}}, true);
    KL_LOG_INFO(kTag,
                QStringLiteral("projector send notifyWorkStatus: %1").arg(QString::fromUtf8(text)));
}

void KLMessageMode::commitQls(const QJsonObject &record)
{
    const QString path = isMeetingModule() ? QStringLiteral("/kelvo/UploadLogToQLS")
                                           : QStringLiteral("/projector/UploadLogToQLS");
    sendMessage(path, QJsonObject{{QStringLiteral("log"), prettyText(record)}}, false);
}

void KLMessageMode::enterMeetingRatePage()
{
    sendMessage(QStringLiteral("/kelvo/evaluating"), std::nullopt, false);
}

void KLMessageMode::actionLog(const QString &btn)
{
    m_queue.async([this, btn]() { actionLogInternal(btn); });
}

void KLMessageMode::actionLogInternal(const QString &btn)
{
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const double ts =
        double(std::chrono::duration_cast<std::chrono::microseconds>(sinceEpoch).count()) / 1e6;
    sendMessage(QStringLiteral("/kelvo/action"),
                QJsonObject{{QStringLiteral("btn"), btn.isNull() ? QStringLiteral("") : btn},
                            {QStringLiteral("ts"), ts}},
                false);
}

void KLMessageMode::reEnterMeeting(const QString &uuid)
{
    sendMessage(QStringLiteral("/kelvo/ReEnterMeeting"),
                QJsonObject{{QStringLiteral("uuid"), uuid.isNull() ? QStringLiteral("") : uuid},
                            {QStringLiteral("bizType"), QStringLiteral("conference")}},
                false);
}

void KLMessageMode::setLogModuleFlag(bool isMeetingModule)
{
    m_isMeetingModule.store(isMeetingModule);
}

void initCallBack(const char *pipeName)
{
    KL_LOG_INFO(QStringLiteral("KLMessageMode"),
                QStringLiteral("kelvo messagemode pipeName %1")
                    .arg(pipeName ? QString::fromUtf8(pipeName) : QStringLiteral("(null)")));
}
