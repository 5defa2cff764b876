#include "host/KLHostUtils.h"

#include <KelvoUISDK/KLSDKDispatch.h>

#include "clientconfig/KLClientConfigManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QNetworkInterface>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTextBoundaryFinder>

#include <limits>

namespace {

const QString kTag = QStringLiteral("KLHostUtils");

QString joinedPath(const QString &root, const QString &relative)
{
    return QDir(root.isEmpty() ? QStringLiteral("/") : root).filePath(relative);
}

/// The first line of a small text file, trimmed; a null string when it cannot be read.
QString readFirstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(file.readLine(4096)).trimmed();
}

/// The interface of the default IPv4 route with the lowest metric; empty when there is none.
/// Lines of the route table: Iface Destination Gateway Flags RefCnt Use Metric Mask ...
QString defaultRouteInterface(const QString &routeTablePath)
{
    QFile file(routeTablePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    constexpr uint routeUp = 0x0001;
    QString best;
    qlonglong bestMetric = std::numeric_limits<qlonglong>::max();
    file.readLine(); // header
    while (!file.atEnd()) {
        const QStringList fields =
            QString::fromUtf8(file.readLine())
                .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (fields.size() < 8)
            continue;
        bool flagsOk = false, destOk = false, maskOk = false, metricOk = false;
        const uint flags = fields.at(3).toUInt(&flagsOk, 16);
        const uint destination = fields.at(1).toUInt(&destOk, 16);
        const uint mask = fields.at(7).toUInt(&maskOk, 16);
        const qlonglong metric = fields.at(6).toLongLong(&metricOk);
        if (!flagsOk || !destOk || !maskOk || !metricOk || !(flags & routeUp) || destination != 0 ||
            mask != 0)
            continue;
        if (metric < bestMetric) {
            best = fields.at(0);
            bestMetric = metric;
        }
    }
    return best;
}

/// "aa:bb:cc:dd:ee:ff" from the kernel's text of a 6-byte hardware address; empty for anything
/// else, the all-zero address of virtual devices included.
QString normalisedHardwareAddress(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 6)
        return QString();
    QStringList bytes;
    bool allZero = true;
    for (const QString &part : parts) {
        bool ok = false;
        const uint value = part.toUInt(&ok, 16);
        if (!ok || part.isEmpty() || part.size() > 2)
            return QString();
        allZero = allZero && value == 0;
        bytes << QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0'));
    }
    return allZero ? QString() : bytes.join(QLatin1Char(':'));
}

/// The emoji test for one user-perceived character, on its UTF-16 units c0, c1, ...
bool emojiCluster(QStringView cluster)
{
    if (cluster.isEmpty())
        return false;
    const char16_t c0 = cluster.at(0).unicode();
    if (QChar::isHighSurrogate(c0) && cluster.size() > 1) {
        const char32_t codePoint = QChar::surrogateToUcs4(c0, cluster.at(1).unicode());
        return codePoint >= 0x1D000 && codePoint <= 0x1F9C0;
    }
    if (cluster.size() > 1) {
        const char16_t c1 = cluster.at(1).unicode();
        return c1 == 0xD83C || c1 == 0x20E3 || c1 == 0xFE0F;
    }
    if ((c0 >= 0x2100 && c0 <= 0x27FF) || (c0 >= 0x2B05 && c0 <= 0x2B07) || c0 == 0x2934 ||
        c0 == 0x2935 || (c0 >= 0x3297 && c0 <= 0x3299))
        return true;
    switch (c0) {
    case 0x2B1B:
    case 0x2B1C:
    case 0x2B50:
    case 0x2B55:
    case 0x303D:
    case 0x3030:
    case 0x00A9:
    case 0x00AE:
        return true;
    default:
        return false;
    }
}

/// Wraps an object or array in a document; false for any other value.
bool toDocument(const QJsonValue &object, QJsonDocument *document)
{
    if (object.isObject()) {
        *document = QJsonDocument(object.toObject());
        return true;
    }
    if (object.isArray()) {
        *document = QJsonDocument(object.toArray());
        return true;
    }
    return false;
}

} // namespace

QString KLHostUtils::ipAddress()
{
    QList<InterfaceAddress> addresses;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const bool loopback = interface.flags().testFlag(QNetworkInterface::IsLoopBack);
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries)
            addresses.append({entry.ip(), loopback});
    }
    return ipAddress(addresses);
}

QString KLHostUtils::ipAddress(const QList<InterfaceAddress> &addresses)
{
    QString lastLoopback;
    for (auto it = addresses.crbegin(); it != addresses.crend(); ++it) {
        if (it->address.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        const bool loopback = it->loopback || it->address.isLoopback();
        if (!loopback)
            return it->address.toString();
        if (lastLoopback.isEmpty())
            lastLoopback = it->address.toString();
    }
    return lastLoopback.isEmpty() ? QStringLiteral("127.0.0.1") : lastLoopback;
}

QString KLHostUtils::appVersion()
{
    return QCoreApplication::applicationVersion();
}

QString KLHostUtils::osVersion()
{
    return QStringLiteral("%1 %2").arg(QStringLiteral("Linux "), QSysInfo::prettyProductName());
}

int KLHostUtils::systemBatteryLevel(const QString &systemRoot)
{
    constexpr int fullCharge = 100;
    const QDir supplies(joinedPath(systemRoot, QStringLiteral("sys/class/power_supply")));
    const QStringList names =
        supplies.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString &name : names) {
        const QDir supply(supplies.filePath(name));
        if (readFirstLine(supply.filePath(QStringLiteral("type"))) != QLatin1String("Battery"))
            continue;
        // Batteries of wireless mice and keyboards say "Device"; the system's own say "System"
        // or nothing.
        if (readFirstLine(supply.filePath(QStringLiteral("scope"))) == QLatin1String("Device"))
            continue;
        bool ok = false;
        const int capacity = readFirstLine(supply.filePath(QStringLiteral("capacity"))).toInt(&ok);
        return ok ? capacity : fullCharge;
    }
    return fullCharge;
}

QString KLHostUtils::wiFiInterface(const QString &systemRoot)
{
    const QString interface =
        defaultRouteInterface(joinedPath(systemRoot, QStringLiteral("proc/net/route")));
    // The name goes into a path: refuse anything that could leave the interface folder.
    if (interface.isEmpty() || interface.contains(QLatin1Char('/')) ||
        interface.startsWith(QLatin1Char('.')))
        return QString();
    return normalisedHardwareAddress(readFirstLine(
        joinedPath(systemRoot, QStringLiteral("sys/class/net/%1/address").arg(interface))));
}

QString KLHostUtils::convertToJsonData(const QJsonValue &object)
{
    QJsonDocument document;
    if (!toDocument(object, &document)) {
        KL_LOG_ERROR(kTag, QStringLiteral("convertToJsonData: only an object or an array can be "
                                          "written as JSON (value type %1)")
                               .arg(int(object.type())));
        return QString();
    }
    QString text = QString::fromUtf8(document.toJson(QJsonDocument::Indented));
    text.remove(QLatin1Char(' '));
    text.remove(QLatin1Char('\n'));
    return text;
}

QJsonValue KLHostUtils::dictionaryWithJsonString(const QString &jsonString)
{
    if (jsonString.isEmpty())
        return QJsonValue(QJsonValue::Undefined);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(jsonString.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || document.isNull()) {
        KL_LOG_ERROR(kTag, QStringLiteral("json解析失败：%1").arg(error.errorString()));
        return QJsonValue(QJsonValue::Undefined);
    }
    if (document.isObject())
        return document.object();
    return document.array();
}

QString KLHostUtils::objectToJson(const QJsonValue &object)
{
    QJsonDocument document;
    if (!toDocument(object, &document))
        return QString();
    const QByteArray json = document.toJson(QJsonDocument::Compact);
    return json.isEmpty() ? QString() : QString::fromUtf8(json);
}

bool KLHostUtils::isWhiteSpaceString(const QString &text)
{
    return text.trimmed().isEmpty();
}

bool KLHostUtils::isPositiveInteger(const QString &text)
{
    static const QRegularExpression digits(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9]+")));
    return digits.match(text).hasMatch();
}

bool KLHostUtils::isEmojiCharacter(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (start < text.size()) {
        finder.setPosition(start);
        qsizetype end = finder.toNextBoundary();
        if (end <= start)
            end = text.size();
        if (emojiCluster(QStringView(text).mid(start, end - start)))
            return true;
        start = end;
    }
    return false;
}

QString KLHostUtils::runCommand(const QString &command)
{
    KL_LOG_INFO(kTag, QStringLiteral("run command: %1").arg(command));
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command}, QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        KL_LOG_ERROR(kTag, QStringLiteral("run command failed to start: %1 (%2)")
                               .arg(command, process.errorString()));
        return QString();
    }
    process.waitForFinished(-1);
    return QString::fromUtf8(process.readAllStandardOutput());
}

void KLHostUtils::closeApp()
{
    // The dock clean-up of the desktop this came from needed a recent OS; Linux has no dock to
    // clean, so there is no version to check either.
    removeDockItem(KLLocalizedString(QStringLiteral("APP_NAME")));
    KLPerformBlockOnMainThread([] {
        KLNotificationCenter::defaultCenter().postNotification(
            KLNotificationNames::KLHostUtilsCloseAppNotify);
    });
}

void KLHostUtils::removeDockItem(const QString &label)
{
    if (!KLClientConfigManager::sharedInstance().isStaff())
        return;
    KL_LOG_INFO(kTag,
                QStringLiteral("no dock on this desktop: nothing to remove for \"%1\"").arg(label));
}
