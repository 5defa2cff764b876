#pragma once

// The caption page drawn: a web page view that the caption bridge drives. The native side calls
// the page's `window.msgInvoke(data)` with {"action", "param"} and logs what it answers; the
// page's scripts see this view as `window.kelvoMac` (see docs/web-pages.md).

#include "collab/KLCaptionPage.h"

#include <QObject>
#include <QPointer>

#include <memory>

class KLWebPageView;

/// What the caption page's scripts reach as `window.kelvoMac`.
class KLCaptionPageObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool webviewIsLoad READ webviewIsLoad NOTIFY webviewIsLoadChanged)
public:
    using QObject::QObject;
    bool webviewIsLoad() const { return m_loaded; }
    void setLoaded();
    /// A line for the SDK's log, tagged with the page.
    Q_INVOKABLE void log(const QString &message);
Q_SIGNALS:
    void webviewIsLoadChanged();

private:
    bool m_loaded = false;
};

/// The KLCaptionPage over a web page view; the view belongs to the widget tree, this adapter
/// to the caption bridge, and calls after the view is gone do nothing. Main thread.
class KLCaptionWebView final : public KLCaptionPage {
public:
    /// The view's page gets `window.kelvoMac`; `caFile` is the meeting's extra trust.
    KLCaptionWebView(KLWebPageView *view, const QString &caFile);
    ~KLCaptionWebView() override;

    void loadUrl(const QUrl &url) override;
    void callHandler(const QString &handler, const QJsonObject &data) override;
    void setPageLoadedHandler(KLBlock handler) override;

    KLWebPageView *view() const { return m_view; }

private:
    QPointer<KLWebPageView> m_view;
    std::unique_ptr<KLCaptionPageObject> m_object;
    std::shared_ptr<KLBlock> m_loaded = std::make_shared<KLBlock>();
};
