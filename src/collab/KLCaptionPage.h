#pragma once

// The caption web page as the native side sees it. The widget layer implements it with a web
// view; it hands the "msgInvoke" data to the page as a JavaScript object built from the JSON
// (never by pasting text into script) and exposes itself to the page's scripts as
// "kelvoMac". Every call arrives on the main thread.

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QJsonObject>
#include <QString>
#include <QUrl>

class KLCaptionPage {
public:
    virtual ~KLCaptionPage() = default;

    /// Starts loading the page.
    virtual void loadUrl(const QUrl &url) = 0;
    /// Calls the page's handler `handler` with `data`. The page's reply is only logged.
    virtual void callHandler(const QString &handler, const QJsonObject &data) = 0;
    /// Installs the block the page runs (on the main thread) each time it finished loading.
    virtual void setPageLoadedHandler(KLBlock handler) = 0;
};
