#include "ui/KLTheme.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

namespace KLTheme {

QColor color(const QString &hex, double alpha)
{
    QColor c(hex);
    if (!c.isValid())
        c = Qt::black;
    c.setAlphaF(qBound(0.0, alpha, 1.0));
    return c;
}

QFont font(int pixelSize, bool bold)
{
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK SC"),
                   QStringLiteral("Noto Sans")});
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

static QString iconPath(const QString &key)
{
    return QStringLiteral(":/kelvo/icons/%1.svg").arg(key);
}

bool hasIcon(const QString &key)
{
    return !key.isEmpty() && QFile::exists(iconPath(key));
}

QIcon icon(const QString &key)
{
    return hasIcon(key) ? QIcon(iconPath(key)) : QIcon();
}

QPixmap iconPixmap(const QString &key, const QSize &size, qreal devicePixelRatio)
{
    if (!hasIcon(key) || size.isEmpty())
        return {};
    QSvgRenderer renderer(iconPath(key));
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

} // namespace KLTheme
