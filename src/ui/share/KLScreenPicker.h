#pragma once

// Asked before a share when the machine has more than one screen: one button per screen, with
// its name, size and a small picture of it. Choosing one shares that screen; closing the picker
// shares nothing.

#include <QDialog>

#include <functional>

class KLScreenPicker final : public QDialog {
    Q_OBJECT
public:
    /// Offers every screen; `chosen` gets the picked screen's name (never called on cancel).
    KLScreenPicker(QWidget *parent, std::function<void(const QString &screenName)> chosen);

    /// The names offered, in order (tests press them by name).
    QStringList offeredScreens() const;
    /// Picks `screenName` as a click on its button would.
    void pick(const QString &screenName);

    /// Whether a share has to ask: more than one screen.
    static bool needed();

private:
    std::function<void(const QString &)> m_chosen;
    QStringList m_offered;
};
