#include "platform/KLPlatform.h"

#include "platform/KLLinuxPlatform.h"

#include <QRegularExpression>

#include <mutex>

namespace {

struct InstalledPlatform {
    std::mutex mutex;
    std::shared_ptr<KLPlatform> platform;
};

/// Never destroyed: the platform owns a thread, which must not be torn down during static
/// destruction after the application object is gone, and late callers still find it.
InstalledPlatform &installed()
{
    static auto *slot = new InstalledPlatform;
    return *slot;
}

} // namespace

KLPlatform::~KLPlatform() = default;

std::shared_ptr<KLPlatform> KLPlatform::shared()
{
    InstalledPlatform &slot = installed();
    std::lock_guard lock(slot.mutex);
    if (!slot.platform)
        slot.platform = std::make_shared<KLLinuxPlatform>();
    return slot.platform;
}

void KLPlatform::install(std::shared_ptr<KLPlatform> platform)
{
    InstalledPlatform &slot = installed();
    std::shared_ptr<KLPlatform> previous;
    {
        std::lock_guard lock(slot.mutex);
        previous = std::move(slot.platform);
        slot.platform = std::move(platform);
    }
    // `previous` may be the last reference: it goes away here, outside the lock.
}

bool KLPlatform::isAtLeast(int major, int minor)
{
    const std::optional<KLOSVersion> version = osVersion();
    if (!version)
        return false;
    return std::pair(version->major, version->minor) >= std::pair(major, minor);
}

QString KLPlatform::mediaTypeName(KLMediaType type)
{
    switch (type) {
    case KLMediaType::Audio:
        return QStringLiteral("audio");
    case KLMediaType::Video:
        return QStringLiteral("video");
    case KLMediaType::Screen:
        return QStringLiteral("screen");
    }
    return QStringLiteral("unknown");
}

std::optional<KLOSVersion> KLOSVersion::parse(const QString &text)
{
    static const QRegularExpression leading(QStringLiteral("^\\s*(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = leading.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    KLOSVersion version;
    version.major = match.captured(1).toInt(&ok);
    if (!ok)
        return std::nullopt; // too many digits for an int
    version.minor = match.captured(2).toInt(); // empty → 0
    version.patch = match.captured(3).toInt();
    return version;
}
