#include "media/builtin/KLBuiltinSettingStore.h"

#include "media/KLRTCMediaLogging.h"

#include <QFile>
#include <QSysInfo>

QString KLBuiltinSettingStore::getComputerModel()
{
    // The firmware's product name where the kernel exposes it.
    QFile product(QStringLiteral("/sys/devices/virtual/dmi/id/product_name"));
    if (product.open(QIODevice::ReadOnly)) {
        const QString name = QString::fromUtf8(product.readAll()).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return QSysInfo::prettyProductName();
}

void KLBuiltinSettingStore::webrtcFileStop()
{
    std::lock_guard lock(m_mutex);
    ++m_fileStops;
}

void KLBuiltinSettingStore::keep(QStringView name, const QJsonValue &value)
{
    {
        std::lock_guard lock(m_mutex);
        m_values.insert(name.toString(), value);
    }
    KL_ENGINE_LOG(16, QStringLiteral("default %1 = %2").arg(name.toString(), value.toVariant().toString()));
}

QJsonValue KLBuiltinSettingStore::value(const QString &name) const
{
    std::lock_guard lock(m_mutex);
    return m_values.value(name);
}

QJsonObject KLBuiltinSettingStore::values() const
{
    std::lock_guard lock(m_mutex);
    return m_values;
}

int KLBuiltinSettingStore::fileStops() const
{
    std::lock_guard lock(m_mutex);
    return m_fileStops;
}
