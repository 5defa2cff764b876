#include "ui/share/KLScreens.h"

#include <QGuiApplication>
#include <QScreen>

QString KLScreens::nameOf(const QScreen *screen)
{
    int same = 0;
    for (const QScreen *other : QGuiApplication::screens()) {
        if (other->name() == screen->name())
            ++same;
        if (other == screen)
            break;
    }
    return same > 1 ? QStringLiteral("%1 (%2)").arg(screen->name()).arg(same) : screen->name();
}

QScreen *KLScreens::named(const QString &name)
{
    for (QScreen *screen : QGuiApplication::screens())
        if (nameOf(screen) == name)
            return screen;
    return nullptr;
}

QList<KLScreenInfo> KLScreens::all()
{
    QList<KLScreenInfo> screens;
    const QScreen *primary = QGuiApplication::primaryScreen();
    for (const QScreen *screen : QGuiApplication::screens())
        screens.append({nameOf(screen), screen->size().width(), screen->size().height(), screen == primary});
    return screens;
}
