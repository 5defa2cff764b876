#pragma once

// The screens Qt sees, named the way a share refers to them. Several X screens of one display
// can carry the same output name; the second and later of a name get " (2)", " (3)"… so that
// every screen has a name of its own and a pick never lands on another screen.

#include "media/capture/KLScreenChoice.h"

#include <QList>
#include <QString>

class QScreen;

namespace KLScreens {

/// The share's name for `screen`.
QString nameOf(const QScreen *screen);
/// The screen of that name; null when there is none.
QScreen *named(const QString &name);
/// Every screen, in Qt's order, for the screen choice.
QList<KLScreenInfo> all();

} // namespace KLScreens
