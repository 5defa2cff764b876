#include "SimRecorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <atomic>

void simRecord(const char *channel, const QByteArray &bytes)
{
    static const QString root = qEnvironmentVariable("KELVO_SIM_RECORD");
    if (root.isEmpty())
        return;
    static std::atomic<int> count{0};
    const QString folder = root + QLatin1Char('/') + QLatin1String(channel);
    QDir().mkpath(folder);
    QFile file(QStringLiteral("%1/%2-%3").arg(folder).arg(QCoreApplication::applicationPid()).arg(++count));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}
