#pragma once

// Which screen a share shows. With one screen a share starts at once with it; with several the
// user picks one in the screen picker, which offers the one picked last time first (or the
// primary screen). The pick is remembered for the meeting window's life. When the screen being
// shared goes away (a monitor unplugged), the share stops: nothing the user did not pick is
// ever shown instead.
//
// No widgets: the widget layer feeds the screens it sees (QGuiApplication's) in through
// setScreens() and draws what this says. Main thread.

#include <QList>
#include <QString>

struct KLScreenInfo {
    QString name;
    int width = 0;
    int height = 0;
    bool primary = false;
    bool operator==(const KLScreenInfo &) const = default;
};

class KLScreenChoice {
public:
    /// The screens there are now, in the system's order.
    void setScreens(const QList<KLScreenInfo> &screens);
    const QList<KLScreenInfo> &screens() const { return m_screens; }

    /// A share has to ask first: more than one screen.
    bool needsPicker() const { return m_screens.size() > 1; }
    /// The screen the picker offers first: the one picked last, while it is there; else the
    /// primary; else the first. Empty without screens.
    QString preselected() const;
    /// The screen picked last, whether or not it is there now.
    QString remembered() const { return m_remembered; }

    /// The user picked `name` (remembered) or, with one screen, the share takes that one.
    /// Sets the capture's chosen screen; false (nothing changed) for a name not in the list.
    bool choose(const QString &name);
    /// A share without asking: the only screen, or the primary one without screens known.
    QString chooseWithoutAsking();

    /// The screen a share going on shows (empty when no share was started through here).
    QString shared() const { return m_shared; }
    void shareEnded() { m_shared.clear(); }

    /// The screens changed: true when a share is going on and its screen is no longer there, so
    /// the share has to stop.
    bool screensChanged(const QList<KLScreenInfo> &screens);

private:
    bool has(const QString &name) const;

    QList<KLScreenInfo> m_screens;
    QString m_remembered;
    QString m_shared;
};
