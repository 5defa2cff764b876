#pragma once

#include "presentation/KLToastMessage.h"

/// The icon drawn beside a notice.
enum class KLToastIcon { None, Information, Warning };

/// How a notice of the network or permanent area is drawn.
struct KLToastStyle {
    KLToastColor backgroundColor;
    KLToastColor textColor;
    KLToastIcon icon = KLToastIcon::None;
};

/// The one-person toast: shown on the big view when the user is alone in the room just
/// entered, with the meeting's information and one action (add members when the meeting was
/// made for the user alone, else call everyone invited). Texts are localised.
struct KLOnePersonToast {
    bool oneMember = false;
    QString title;
    QString subject;
    QString actionText;
    bool operator==(const KLOnePersonToast &other) const = default;
};

/// The three notice areas of the meeting window, stacked at one place: the transient toast,
/// the network toast and the permanent toast. Drawn by the widget layer; every call comes on
/// the main thread. Positions of the network toast are given as a vertical offset from the
/// toast area's origin (0 or -40 points).
class KLToastView {
public:
    virtual ~KLToastView() = default;

    virtual bool isToastVisible() const = 0;
    /// Shows `message` (colours, image, and `message.text()`) in the toast area.
    virtual void showToast(const KLToastMessage &message) = 0;
    virtual void hideToast() = 0;

    virtual bool isNetToastVisible() const = 0;
    virtual void showNetToast(const QString &text, const KLToastStyle &style, int verticalOffset) = 0;
    virtual void placeNetToast(int verticalOffset) = 0;
    virtual void hideNetToast() = 0;

    virtual bool isPermanentToastVisible() const = 0;
    virtual void showPermanentToast(const QString &text, const KLToastStyle &style) = 0;
    virtual void hidePermanentToast() = 0;

    /// The one-person toast on the big view; its action goes back through
    /// `KLToastManager::onePersonToastActionPressed`.
    virtual void showOnePersonToast(const KLOnePersonToast &) {}
    virtual void hideOnePersonToast() {}
};
