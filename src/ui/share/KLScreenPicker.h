#pragma once

// Asked before a share when the machine has more than one screen: one button per screen, with
// its number, size, name and a small picture of it. The screen the choice logic offers first
// (the one picked last, else the main screen) is the default button. Choosing one shares that
// screen; closing the picker shares nothing. The picker only draws: which screens there are and
// what a pick means belong to KLScreenChoice.

#include "media/capture/KLScreenChoice.h"

#include <QDialog>
#include <QPixmap>

#include <functional>

class QPushButton;

class KLScreenPicker final : public QDialog {
    Q_OBJECT
public:
    /// The small picture of a screen; a null pixmap draws the button without one.
    using Thumbnail = std::function<QPixmap(const QString &screenName)>;

    /// Offers `choice`'s screens; `chosen` gets the picked screen's name (never on cancel).
    KLScreenPicker(QWidget *parent, const KLScreenChoice &choice, Thumbnail thumbnail,
                   std::function<void(const QString &screenName)> chosen);

    /// The names offered, in order (tests press them by name).
    QStringList offeredScreens() const;
    QPushButton *buttonFor(const QString &screenName) const;
    /// The screen offered first (the default button).
    QString preselected() const { return m_preselected; }
    /// Picks `screenName` as a click on its button would.
    void pick(const QString &screenName);

    /// The screens Qt sees now, as the choice logic takes them.
    static QList<KLScreenInfo> systemScreens();
    /// A picture of the screen where the window system lets us grab one (X11); null elsewhere.
    static QPixmap grabThumbnail(const QString &screenName);

    static constexpr int kThumbWidth = 200;

private:
    std::function<void(const QString &)> m_chosen;
    QStringList m_offered;
    QString m_preselected;
};
