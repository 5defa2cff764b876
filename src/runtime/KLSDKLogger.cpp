#include <KelvoUISDK/KLSDKLogger.h>

#include "runtime/KLSDKDispatcher.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLSDKLogConsole.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <atomic>
#include <cstring>

namespace {

// The printer slot is read and written only on the IO queue, so it needs no lock.
std::shared_ptr<KLSDKLoggerProtocol> &printerSlot()
{
    static auto *slot = new std::shared_ptr<KLSDKLoggerProtocol>;
    return *slot;
}

std::atomic<FILE *> &consoleSlot()
{
    static std::atomic<FILE *> slot{stderr};
    return slot;
}

QString describe(const QVariant &value)
{
    if (!value.isValid())
        return QStringLiteral("(null)");
    const QJsonValue json = QJsonValue::fromVariant(value);
    if (json.isObject())
        return QString::fromUtf8(QJsonDocument(json.toObject()).toJson(QJsonDocument::Indented));
    if (json.isArray())
        return QString::fromUtf8(QJsonDocument(json.toArray()).toJson(QJsonDocument::Indented));
    return value.toString();
}

void printConsoleLine(const QString &line)
{
    FILE *stream = KLSDKLogConsole::stream();
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

template <typename Job>
void queueLine(Job job)
{
    KLSDKDispatcher::asyncRunOnIoQueue([job = std::move(job)]() {
        job(printerSlot().get());
    });
}

void queueMessage(void (KLSDKLoggerProtocol::*operation)(const QString &, const QString &),
                  const char *consolePrefix, const QString &tag, const QString &msg)
{
    queueLine([operation, consolePrefix, tag, msg](KLSDKLoggerProtocol *printer) {
        if (printer)
            (printer->*operation)(tag, msg);
        else
            printConsoleLine(QLatin1String(consolePrefix) + tag + QLatin1String(": ") + msg);
    });
}

void queuePoint(void (KLSDKLoggerProtocol::*operation)(const QString &, const QVariant &,
                                                        const QVariant &),
                const char *consolePrefix, const QString &tag, const QVariant &point,
                const QVariant &params)
{
    queueLine([operation, consolePrefix, tag, point, params](KLSDKLoggerProtocol *printer) {
        if (printer)
            (printer->*operation)(tag, point, params);
        else
            printConsoleLine(QLatin1String(consolePrefix) + tag + QLatin1String(": ") +
                             describe(point) + QLatin1Char(' ') + describe(params));
    });
}

} // namespace

FILE *KLSDKLogConsole::stream()
{
    return consoleSlot().load();
}

void KLSDKLogConsole::setStream(FILE *stream)
{
    consoleSlot().store(stream ? stream : stderr);
}

void KLSDKLogger::setLoggerPrinter(std::shared_ptr<KLSDKLoggerProtocol> printer)
{
    KLSDKDispatcher::asyncRunOnIoQueue(
        [printer = std::move(printer)]() { printerSlot() = printer; });
}

void KLSDKLogger::info(const QString &tag, const QString &msg)
{
    queueMessage(&KLSDKLoggerProtocol::info, "I/", tag, msg);
}

void KLSDKLogger::debug(const QString &tag, const QString &msg)
{
    queueMessage(&KLSDKLoggerProtocol::debug, "D/", tag, msg);
}

void KLSDKLogger::warn(const QString &tag, const QString &msg)
{
    queueMessage(&KLSDKLoggerProtocol::warn, "W/", tag, msg);
}

void KLSDKLogger::error(const QString &tag, const QString &msg)
{
    queueMessage(&KLSDKLoggerProtocol::error, "E/", tag, msg);
}

void KLSDKLogger::action(const QString &tag, const QVariant &point, const QVariant &params)
{
    queuePoint(&KLSDKLoggerProtocol::action, "Action/", tag, point, params);
}

void KLSDKLogger::event(const QString &tag, const QVariant &point, const QVariant &params)
{
    queuePoint(&KLSDKLoggerProtocol::event, "Event/", tag, point, params);
}

void KLSDKLogger::error(const QString &tag, const QVariant &point, const QVariant &params)
{
    queuePoint(&KLSDKLoggerProtocol::error, "Error/", tag, point, params);
}

void KLSDKLogging(int level, const QString &tag, const QString &message)
{
    switch (level) {
    case KLSDKLogLevelVerbose:
    case KLSDKLogLevelInfo:
        KLSDKLogger::info(tag, message);
        break;
    case KLSDKLogLevelWarn:
        KLSDKLogger::warn(tag, message);
        break;
    case KLSDKLogLevelError:
        KLSDKLogger::error(tag, message);
        break;
    case KLSDKLogLevelDebug:
        KLSDKLogger::debug(tag, message);
        break;
    default:
        break; // not a level: the line vanishes
    }
}

QString KLSDKLoggingFileName(const char *path)
{
    if (!path)
        return QString(QLatin1String(""));
    const char *slash = std::strrchr(path, '/');
    return QString::fromUtf8(slash ? slash + 1 : path);
}

void kl_log_detail::write(int level, const QString &tag, const char *fileName, int line,
                          const char *function, const QString &message)
{
    QString text;
    text.reserve(message.size() + 96);
    text += QLatin1Char('(');
    text += QString::fromUtf8(fileName);
    text += QLatin1Char(':');
    text += QString::number(line);
    text += QLatin1Char(' ');
    text += QString::fromUtf8(function);
    text += QLatin1String("): ");
    text += message;
    KLSDKLogging(level, tag, text);
}
