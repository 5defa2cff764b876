#pragma once

// The enter-name dialog's decisions, without widgets: a guest projection (an external user on
// an internal host) with no display name stored is asked for one before the join goes on. A
// name of only white space or with an emoji is refused with its reason under the field; a name
// that passes is remembered in the persistent user data and the join continues.
//
// Threads: main thread only.

#include <QString>

#include <functional>
#include <memory>

/// What the dialog's widgets show; every call arrives on the main thread.
class KLEnterNameView {
public:
    virtual ~KLEnterNameView() = default;
    /// Shows the dialog, with `error` (localised, or empty) under the name field.
    virtual void showEnterName(const QString &error) = 0;
    virtual void closeEnterName() = 0;
};

class KLEnterNameViewController final : public std::enable_shared_from_this<KLEnterNameViewController> {
public:
    static std::shared_ptr<KLEnterNameViewController> create();

    void setView(std::shared_ptr<KLEnterNameView> view);
    /// Told whenever the dialog opens, closes or shows another error.
    void setObserver(std::function<void()> changed) { m_observer = std::move(changed); }

    /// Opens the dialog; `proceed` runs once a name was accepted and stored.
    void open(std::function<void()> proceed);
    /// The name typed: true when it was accepted (stored, dialog closed, join goes on).
    bool submit(const QString &name);

    bool isOpen() const { return m_open; }
    /// The key of the error shown now, or empty.
    QString errorKey() const { return m_errorKey; }
    /// The key refusing `name` ("ERROR_NAME_ONLY_BLANK", "ERROR_NAME_HAS_EMOJI"), or empty (pure).
    static QString nameErrorKey(const QString &name);

private:
    KLEnterNameViewController() = default;
    void changed();

    std::shared_ptr<KLEnterNameView> m_view;
    std::function<void()> m_observer;
    std::function<void()> m_proceed;
    bool m_open = false;
    QString m_errorKey;
};
