#pragma once

// The rating page shown after a meeting: a web page whose scripts report the user's progress
// through `window.native.ocMethod(status)`, callable from the page's first script on (calls made
// before the bridge is up are queued, not lost). Every status goes to the handler, which decides
// (the layout controller finishes the meeting on "kelvo-evaluate-complete" only).

#include "ui/web/KLWebPageView.h"

#include <functional>

/// What the rating page's scripts reach as `window.native`.
class KLRatePageObject : public QObject {
    Q_OBJECT
public:
    explicit KLRatePageObject(std::function<void(const QString &)> handler, QObject *parent = nullptr)
        : QObject(parent), m_handler(std::move(handler)) {}
    /// A status reported by the page.
    Q_INVOKABLE void ocMethod(const QString &status);

private:
    std::function<void(const QString &)> m_handler;
};

class KLMeetingRateView : public KLWebPageView {
    Q_OBJECT
public:
    /// `statusReceived` runs on the main thread for every status the page reports.
    KLMeetingRateView(const QString &caFile, std::function<void(const QString &)> statusReceived,
                      QWidget *parent = nullptr);

private:
    KLRatePageObject *m_native = nullptr;
};
