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
#include <mutex>
#include <optional>
#include <vector>

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

/// One queued logger job: a line for one of the printer operations, or a printer switch.
struct PendingLine {
    enum class Kind { Info, Debug, Warn, Error, Action, Event, ErrorPoint, SetPrinter };
    Kind kind;
    QString tag;
    QString msg;
    QVariant point;
    QVariant params;
    std::shared_ptr<KLSDKLoggerProtocol> printer;
    /// A log statement's place in the source (string literals, never freed). Its prefix
    /// "(file:line function): " is put before `msg` on the IO queue: spelling out the function
    /// signature was most of a statement's cost to its caller.
    bool located = false;
    const char *fileName = nullptr;
    int line = 0;
    const char *function = nullptr;
};

std::optional<PendingLine::Kind> kindOfLevel(int level)
{
    switch (level) {
    case KLSDKLogLevelVerbose:
    case KLSDKLogLevelInfo: return PendingLine::Kind::Info;
    case KLSDKLogLevelWarn: return PendingLine::Kind::Warn;
    case KLSDKLogLevelError: return PendingLine::Kind::Error;
    case KLSDKLogLevelDebug: return PendingLine::Kind::Debug;
    default: return std::nullopt; // not a level: the line vanishes
    }
}

QString locatedText(const PendingLine &line)
{
    QString text;
    text.reserve(line.msg.size() + 160);
    text += QLatin1Char('(');
    // Source file names and compiler-spelled function names are ASCII: no UTF-8 decoding.
    text += QLatin1String(line.fileName);
    text += QLatin1Char(':');
    text += QString::number(line.line);
    text += QLatin1Char(' ');
    text += QLatin1String(line.function);
    text += QLatin1String("): ");
    text += line.msg;
    return text;
}

// Lines wait here as plain records and one IO-queue job prints every line queued by the time it
// runs; a caller posts that job only when the buffer was empty. The queue's mailbox batches
// wake-ups too, but a job per line would still cost two heap-allocated closures and one task
// count each: measured, that doubles the caller's cost and halves throughput. Order is kept
// because lines and printer switches all go through here.
std::mutex &pendingMutex()
{
    static auto *mutex = new std::mutex;
    return *mutex;
}

std::vector<PendingLine> &pendingLines()
{
    static auto *lines = new std::vector<PendingLine>;
    return *lines;
}

void printPendingLine(const PendingLine &line)
{
    using Kind = PendingLine::Kind;
    if (line.kind == Kind::SetPrinter) {
        printerSlot() = line.printer;
        return;
    }
    KLSDKLoggerProtocol *printer = printerSlot().get();
    static const char *const prefixes[] = {"I/", "D/", "W/", "E/", "Action/", "Event/", "Error/"};
    const bool isPoint = line.kind == Kind::Action || line.kind == Kind::Event ||
                         line.kind == Kind::ErrorPoint;
    if (!printer) {
        const QString head = QLatin1String(prefixes[static_cast<int>(line.kind)]) + line.tag +
                             QLatin1String(": ");
        printConsoleLine(isPoint ? head + describe(line.point) + QLatin1Char(' ') +
                                       describe(line.params)
                                 : head + (line.located ? locatedText(line) : line.msg));
        return;
    }
    const QString msg = line.located ? locatedText(line) : line.msg;
    switch (line.kind) {
    case Kind::Info: printer->info(line.tag, msg); break;
    case Kind::Debug: printer->debug(line.tag, msg); break;
    case Kind::Warn: printer->warn(line.tag, msg); break;
    case Kind::Error: printer->error(line.tag, msg); break;
    case Kind::Action: printer->action(line.tag, line.point, line.params); break;
    case Kind::Event: printer->event(line.tag, line.point, line.params); break;
    case Kind::ErrorPoint: printer->error(line.tag, line.point, line.params); break;
    case Kind::SetPrinter: break;
    }
}

void printPendingLines()
{
    // IO queue only; keeps its capacity between runs and, like the queues, outlives statics.
    static auto &batch = *new std::vector<PendingLine>;
    {
        std::lock_guard lock(pendingMutex());
        batch.swap(pendingLines());
    }
    for (const PendingLine &line : batch)
        printPendingLine(line);
    batch.clear();
}

void queueLine(PendingLine line)
{
    bool wasEmpty;
    {
        std::lock_guard lock(pendingMutex());
        wasEmpty = pendingLines().empty();
        pendingLines().push_back(std::move(line));
    }
    if (wasEmpty)
        KLSDKDispatcher::asyncRunOnIoQueue(printPendingLines);
}

void queueMessage(PendingLine::Kind kind, const QString &tag, const QString &msg)
{
    queueLine({kind, tag, msg, QVariant(), QVariant(), nullptr});
}

void queuePoint(PendingLine::Kind kind, const QString &tag, const QVariant &point,
                const QVariant &params)
{
    queueLine({kind, tag, QString(), point, params, nullptr});
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
    queueLine({PendingLine::Kind::SetPrinter, QString(), QString(), QVariant(), QVariant(),
               std::move(printer)});
}

void KLSDKLogger::info(const QString &tag, const QString &msg)
{
    queueMessage(PendingLine::Kind::Info, tag, msg);
}

void KLSDKLogger::debug(const QString &tag, const QString &msg)
{
    queueMessage(PendingLine::Kind::Debug, tag, msg);
}

void KLSDKLogger::warn(const QString &tag, const QString &msg)
{
    queueMessage(PendingLine::Kind::Warn, tag, msg);
}

void KLSDKLogger::error(const QString &tag, const QString &msg)
{
    queueMessage(PendingLine::Kind::Error, tag, msg);
}

void KLSDKLogger::action(const QString &tag, const QVariant &point, const QVariant &params)
{
    queuePoint(PendingLine::Kind::Action, tag, point, params);
}

void KLSDKLogger::event(const QString &tag, const QVariant &point, const QVariant &params)
{
    queuePoint(PendingLine::Kind::Event, tag, point, params);
}

void KLSDKLogger::error(const QString &tag, const QVariant &point, const QVariant &params)
{
    queuePoint(PendingLine::Kind::ErrorPoint, tag, point, params);
}

void KLSDKLogging(int level, const QString &tag, const QString &message)
{
    if (const auto kind = kindOfLevel(level))
        queueMessage(*kind, tag, message);
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
    const auto kind = kindOfLevel(level);
    if (!kind)
        return;
    PendingLine pending{*kind, tag, message, QVariant(), QVariant(), nullptr};
    pending.located = true;
    pending.fileName = fileName ? fileName : "";
    pending.line = line;
    pending.function = function ? function : "";
    queueLine(std::move(pending));
}
