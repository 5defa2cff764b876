#pragma once

// One web page in the meeting window: a web engine view, the objects its scripts may call, and
// a readable message in its place when it cannot be shown. Pages are third-party web
// applications: they need no script of ours. A bootstrap injected at document creation defines
// every exposed object on `window` at once, with stubs that queue calls until the web channel
// is up and then pass them on in order; later calls go straight through. Native-to-page calls
// hand the page a value built from JSON, never text pasted into script.
//
// Server certificates are verified: the web engine checks against the system's trust, and a
// chain it refuses only for an unknown authority is accepted when it verifies against the
// meeting's CA file (KLWebCertificateTrust); anything else is refused.
//
// The web engine must be set up before the host's QApplication exists (the SDK is linked, not
// loaded later); pages share one off-the-record profile of the SDK's own. Main thread only.

#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <functional>

class QLabel;
class QStackedLayout;
class QWebChannel;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;
class QWebEngineCertificateError;
class QWebEngineLoadingInfo;

class KLWebPageView : public QWidget {
    Q_OBJECT
public:
    /// `tag` names the page in log lines ("rate page", "caption page").
    explicit KLWebPageView(const QString &tag, QWidget *parent = nullptr);
    ~KLWebPageView() override;

    /// Exposes `object` (not owned; it must outlive the page) to the page's scripts as
    /// `window.<name>`; `methods` are callable from the page's first script on. Before `load`.
    void exposeObject(const QString &name, QObject *object, const QStringList &methods);
    /// A PEM file of extra authorities the page's server may be signed by (may be empty).
    /// Before the first `load`.
    void setCaFile(const QString &caFile) { m_caFile = caFile; }
    QString caFile() const { return m_caFile; }

    /// Starts loading `url`. An invalid or non-web address fails at once with a message.
    void load(const QUrl &url);
    QUrl requestedUrl() const { return m_url; }
    /// A load finished successfully at least once.
    bool hasLoaded() const { return m_loaded; }
    /// The message shown in the page's place, empty while the page shows.
    QString failureText() const;
    /// The note shown in the page's place while its first load runs (a web view that has not
    /// drawn yet is a blank box), empty otherwise.
    QString loadingText() const;

    /// What a page function answered: `handled` is false when the page has no such function.
    using PageReply = std::function<void(bool handled, const QVariant &result)>;
    /// Calls `window.<function>(argument)` on the page; `reply` (optional) gets its answer.
    void callPageFunction(const QString &function, const QJsonValue &argument, PageReply reply = {});

    /// The web view; null when web pages cannot be shown here.
    QWebEngineView *webView() const { return m_view; }
    /// The page; null before the first `load`.
    QWebEnginePage *page() const;

    /// Whether web pages can be shown in this process; when not, `why` says so. Chromium refuses
    /// to start as root with its sandbox on (QTWEBENGINE_DISABLE_SANDBOX=1 is the host's call),
    /// and a page view then shows that message instead of bringing the process down.
    static bool webEngineUsable(QString *why = nullptr);
    /// The SDK's off-the-record profile for pages that trust `caFile`, created on first use.
    static QWebEngineProfile *profile(const QString &caFile);
    /// The JavaScript that defines the exposed objects (`objects`: name → method names).
    static QString bridgeScript(const QJsonObject &objects);
    /// The call `window.<function>(argument)` as script: the argument is JSON text.
    static QString functionCallScript(const QString &function, const QJsonValue &argument);

Q_SIGNALS:
    /// A load finished and the page shows.
    void pageLoaded();
    /// A load failed; the message is shown in the page's place.
    void pageFailed(const QString &reason);

private:
    QWebEnginePage *ensurePage();
    void installBridge();
    void loadingChanged(const QWebEngineLoadingInfo &info);
    void certificateError(const QWebEngineCertificateError &error);
    void showFailure(const QString &reason);

    const QString m_tag;
    QStackedLayout *m_stack = nullptr;
    QWebEngineView *m_view = nullptr;
    QLabel *m_failure = nullptr;
    QLabel *m_loading = nullptr;
    QWebEnginePage *m_page = nullptr;
    QWebChannel *m_channel = nullptr;
    QJsonObject m_objects; // name → method names, for the bootstrap
    QString m_caFile;
    QUrl m_url;
    QString m_certificateRefusal;
    bool m_loaded = false;
};
