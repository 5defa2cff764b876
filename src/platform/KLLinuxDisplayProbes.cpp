#include "platform/KLLinuxDisplayProbes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString firstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(file.readLine(4096)).trimmed();
}

QString underRoot(const QString &root, const QString &relative)
{
    return QDir(root.isEmpty() ? QStringLiteral("/") : root).filePath(relative);
}

} // namespace

KLDisplayEnvironment KLDisplayEnvironment::current()
{
    KLDisplayEnvironment environment;
    environment.display = qEnvironmentVariable("DISPLAY");
    environment.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    environment.runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return environment;
}

KLDisplayProbe KLLinuxDisplayProbes::detect(const KLDisplayEnvironment &environment)
{
    if (!environment.waylandDisplay.isEmpty()) {
        const QString socket = QDir::isAbsolutePath(environment.waylandDisplay) || environment.runtimeDir.isEmpty()
                                   ? environment.waylandDisplay
                                   : QDir(environment.runtimeDir).filePath(environment.waylandDisplay);
        if (QFileInfo::exists(socket))
            return {KLDisplaySession::Wayland, QStringLiteral("Wayland display %1").arg(socket)};
    }
    // [host]:display[.screen]; an empty host or "unix" is this machine.
    static const QRegularExpression x11(QStringLiteral("^([^:]*):(\\d+)(\\.\\d+)?$"));
    const QRegularExpressionMatch match = x11.match(environment.display);
    if (match.hasMatch()) {
        const QString host = match.captured(1);
        if (!host.isEmpty() && host != QLatin1String("unix") && !host.startsWith(QLatin1Char('/')))
            return {KLDisplaySession::X11, QStringLiteral("X11 display %1 on another host").arg(environment.display)};
        const QString socket = QDir(environment.x11SocketDir).filePath(QStringLiteral("X") + match.captured(2));
        if (QFileInfo::exists(socket))
            return {KLDisplaySession::X11, QStringLiteral("X11 display %1 (%2)").arg(environment.display, socket)};
    }
    return {KLDisplaySession::None,
            QStringLiteral("no display (DISPLAY=\"%1\", WAYLAND_DISPLAY=\"%2\")")
                .arg(environment.display, environment.waylandDisplay)};
}

QStringList KLLinuxDisplayProbes::videoCaptureDevices(const QString &systemRoot)
{
    const QDir devices(underRoot(systemRoot, QStringLiteral("sys/class/video4linux")));
    QStringList nodes = devices.entryList({QStringLiteral("video*")}, QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
    // video2 before video10
    std::sort(nodes.begin(), nodes.end(), [](const QString &a, const QString &b) {
        return a.mid(5).toInt() < b.mid(5).toInt();
    });
    QStringList names;
    for (const QString &node : nodes) {
        const QString index = firstLine(devices.filePath(node + QStringLiteral("/index")));
        if (!index.isEmpty() && index != QLatin1String("0"))
            continue;
        const QString name = firstLine(devices.filePath(node + QStringLiteral("/name")));
        names << (name.isEmpty() ? node : name);
    }
    return names;
}

bool KLLinuxDisplayProbes::isSandboxed(const QString &systemRoot)
{
    return QFileInfo::exists(underRoot(systemRoot, QStringLiteral(".flatpak-info")))
           || !qEnvironmentVariableIsEmpty("SNAP");
}
