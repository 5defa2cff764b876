#include "ui/web/KLWebPageView.h"

#include "runtime/KLLocalization.h"
#include "runtime/KLSDKLog.h"
#include "ui/KLTheme.h"
#include "ui/web/KLWebCertificateTrust.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QStackedLayout>
#include <QWebChannel>
#include <QWebEngineCertificateError>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <unistd.h>

namespace {

const char *const kTag = "KLWebPageView";
const QString kBridgeScriptName = QStringLiteral("kelvo-bridge");

// The web channel's client library, shipped inside Qt WebChannel.
QString webChannelLibrary()
{
    static const QString library = [] {
        QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
        if (!file.open(QIODevice::ReadOnly)) {
            KL_LOG_ERROR(kTag, QStringLiteral("qwebchannel.js missing: pages get no bridge"));
            return QString();
        }
        return QString::fromUtf8(file.readAll());
    }();
    return library;
}

// The bootstrap: stubs first, so that a page's first inline script can already call them; the
// channel's objects replace the stubs' bodies (not the objects, which the page may hold) and
// the queued calls are replayed in order. `qt.webChannelTransport` may appear only after the
// document was created, so the connection is retried until it does.
const char *const kBootstrap = R"JS(
  var exposed = %1;
  var queues = {};
  Object.keys(exposed).forEach(function (name) {
    var stub = {};
    queues[name] = [];
    exposed[name].forEach(function (method) {
      stub[method] = function () {
        queues[name].push([method, Array.prototype.slice.call(arguments)]);
      };
    });
    window[name] = stub;
  });
  var attempts = 0;
  function connect() {
    if (!(window.qt && window.qt.webChannelTransport)) {
      // Up to ten seconds; a page without a transport by then never gets one.
      if (++attempts < 2000)
        setTimeout(connect, 5);
      return;
    }
    new QWebChannel(window.qt.webChannelTransport, function (channel) {
      Object.keys(exposed).forEach(function (name) {
        var real = channel.objects[name];
        if (!real)
          return;
        var stub = window[name];
        // Methods call through; properties read the object's current value.
        var internal = ["unwrapQObject", "unwrapProperties", "propertyUpdate", "signalEmitted", "webChannel"];
        Object.getOwnPropertyNames(real).forEach(function (key) {
          if (key.indexOf("__") === 0 || internal.indexOf(key) >= 0)
            return;
          if (typeof real[key] === "function") {
            stub[key] = function () { return real[key].apply(real, arguments); };
          } else if (typeof real[key] !== "object" || real[key] === null) {
            Object.defineProperty(stub, key, { get: function () { return real[key]; },
                                               configurable: true, enumerable: true });
          }
        });
        queues[name].forEach(function (call) { real[call[0]].apply(real, call[1]); });
        queues[name] = [];
      });
    });
  }
  connect();
)JS";

} // namespace

KLWebPageView::KLWebPageView(const QString &tag, QWidget *parent) : QWidget(parent), m_tag(tag)
{
    if (!QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts))
        KL_LOG_WARN(kTag, QStringLiteral("the web engine was set up after the application object; "
                                         "link the SDK into the host instead of loading it later"));
    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_failure = new QLabel(this);
    m_failure->setObjectName(QStringLiteral("web-page-failure"));
    m_failure->setAlignment(Qt::AlignCenter);
    m_failure->setWordWrap(true);
    m_failure->setFont(KLTheme::font(13));
    m_failure->setMargin(16);
    m_failure->setStyleSheet(QStringLiteral("color: %1; background: %2;").arg(KLTheme::kTextDark, KLTheme::kWindowBackground));
    m_stack->addWidget(m_failure);
    m_loading = new QLabel(this);
    m_loading->setObjectName(QStringLiteral("web-page-loading"));
    m_loading->setAlignment(Qt::AlignCenter);
    m_loading->setFont(KLTheme::font(13));
    m_loading->setStyleSheet(QStringLiteral("color: rgba(31,56,88,0.6); background: %1;").arg(KLTheme::kWindowBackground));
    m_stack->addWidget(m_loading);

    QString why;
    if (!webEngineUsable(&why)) {
        showFailure(why);
        return;
    }
    m_view = new QWebEngineView(this);
    m_channel = new QWebChannel(this);
    m_stack->addWidget(m_view);
    m_loading->setText(KLLocalizedString(QStringLiteral("WEB_PAGE_LOADING")));
    m_stack->setCurrentWidget(m_loading);
}

// The page is made at the first load, in the profile of the CA file known by then: the web
// engine remembers an accepted certificate per profile, so pages that trust different
// authorities never share one.
QWebEnginePage *KLWebPageView::ensurePage()
{
    if (m_page || !m_view)
        return m_page;
    m_page = new QWebEnginePage(profile(m_caFile), m_view);
    m_page->setBackgroundColor(KLTheme::color(KLTheme::kWindowBackground));
    m_page->setWebChannel(m_channel, QWebEngineScript::MainWorld);
    connect(m_page, &QWebEnginePage::loadingChanged, this, &KLWebPageView::loadingChanged);
    connect(m_page, &QWebEnginePage::certificateError, this, &KLWebPageView::certificateError);
    m_view->setPage(m_page);
    installBridge();
    return m_page;
}

bool KLWebPageView::webEngineUsable(QString *why)
{
    const bool sandboxOff = qEnvironmentVariableIntValue("QTWEBENGINE_DISABLE_SANDBOX") != 0 ||
                            qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").contains(QLatin1String("--no-sandbox"));
    if (::geteuid() == 0 && !sandboxOff) {
        if (why)
            *why = QStringLiteral("web pages cannot run as root with the web engine's sandbox on");
        return false;
    }
    return true;
}

KLWebPageView::~KLWebPageView() = default;

QWebEnginePage *KLWebPageView::page() const
{
    return m_page;
}

QWebEngineProfile *KLWebPageView::profile(const QString &caFile)
{
    // Off-the-record (no storage name): pages leave no cookies or cache on disk, and the host's
    // own default profile is not touched. One per CA file, living as long as the application.
    static QHash<QString, QWebEngineProfile *> profiles;
    QWebEngineProfile *&profile = profiles[caFile];
    if (!profile) {
        profile = new QWebEngineProfile(QCoreApplication::instance());
        profile->settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    }
    return profile;
}

void KLWebPageView::exposeObject(const QString &name, QObject *object, const QStringList &methods)
{
    if (!m_channel)
        return;
    m_channel->registerObject(name, object);
    m_objects.insert(name, QJsonArray::fromStringList(methods));
    if (m_page)
        installBridge();
}

void KLWebPageView::installBridge()
{
    QWebEngineScriptCollection &scripts = m_page->scripts();
    for (const QWebEngineScript &old : scripts.find(kBridgeScriptName))
        scripts.remove(old);
    QWebEngineScript script;
    script.setName(kBridgeScriptName);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(bridgeScript(m_objects));
    scripts.insert(script);
}

QString KLWebPageView::bridgeScript(const QJsonObject &objects)
{
    const QString exposed = QString::fromUtf8(QJsonDocument(objects).toJson(QJsonDocument::Compact));
    // The channel library is kept inside the function so that the page's globals stay its own.
    return QStringLiteral("(function () {\nvar module = undefined;\n%1\n%2\n})();\n")
        .arg(webChannelLibrary(), QString::fromLatin1(kBootstrap).arg(exposed));
}

QString KLWebPageView::functionCallScript(const QString &function, const QJsonValue &argument)
{
    // The argument travels as JSON text inside an array, which is a JavaScript literal whatever
    // it holds; the function's name is JSON too.
    const QByteArray argumentJson = QJsonDocument(QJsonArray{argument}).toJson(QJsonDocument::Compact);
    const QByteArray nameJson = QJsonDocument(QJsonArray{function}).toJson(QJsonDocument::Compact);
    return QStringLiteral("(function (name, args) {"
                          " var f = window[name[0]];"
                          " if (typeof f !== 'function') return [];"
                          " var r = f.apply(window, args);"
                          " return [r === undefined ? null : r];"
                          " })(%1, %2);")
        .arg(QString::fromUtf8(nameJson), QString::fromUtf8(argumentJson));
}

void KLWebPageView::load(const QUrl &url)
{
    m_url = url;
    m_certificateRefusal.clear();
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("https") && scheme != QLatin1String("http"))) {
        showFailure(QStringLiteral("not a web address: %1").arg(url.toString()));
        return;
    }
    if (!m_view) {
        QString why;
        webEngineUsable(&why);
        showFailure(why);
        return;
    }
    KL_LOG_INFO(kTag, QStringLiteral("%1: loading %2").arg(m_tag, url.toString()));
    // Until the page has drawn once its place says that it is on its way; later loads keep the
    // page that is there.
    if (m_loaded) {
        m_stack->setCurrentWidget(m_view);
    } else {
        m_loading->setText(KLLocalizedString(QStringLiteral("WEB_PAGE_LOADING")));
        m_stack->setCurrentWidget(m_loading);
    }
    ensurePage()->load(url);
}

QString KLWebPageView::failureText() const
{
    return m_stack->currentWidget() == m_failure ? m_failure->text() : QString();
}

QString KLWebPageView::loadingText() const
{
    return m_stack->currentWidget() == m_loading ? m_loading->text() : QString();
}

void KLWebPageView::callPageFunction(const QString &function, const QJsonValue &argument, PageReply reply)
{
    if (!m_page) {
        if (reply)
            reply(false, QVariant());
        return;
    }
    m_page->runJavaScript(functionCallScript(function, argument), QWebEngineScript::MainWorld,
                          [reply = std::move(reply)](const QVariant &result) {
                              const QVariantList answer = result.toList();
                              if (reply)
                                  reply(!answer.isEmpty(), answer.value(0));
                          });
}

void KLWebPageView::loadingChanged(const QWebEngineLoadingInfo &info)
{
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        KL_LOG_INFO(kTag, QStringLiteral("%1: loaded %2").arg(m_tag, info.url().toString()));
        m_loaded = true;
        m_stack->setCurrentWidget(m_view);
        Q_EMIT pageLoaded();
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus: {
        QString reason = info.errorString();
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
            reason = QStringLiteral("HTTP status %1").arg(info.errorCode());
        if (!m_certificateRefusal.isEmpty())
            reason = m_certificateRefusal;
        showFailure(QStringLiteral("%1 (%2)").arg(reason.isEmpty() ? QStringLiteral("error") : reason)
                        .arg(info.errorCode()));
        break;
    }
    case QWebEngineLoadingInfo::LoadStoppedStatus:
    case QWebEngineLoadingInfo::LoadStartedStatus:
        break;
    }
}

void KLWebPageView::certificateError(const QWebEngineCertificateError &error)
{
    QWebEngineCertificateError decision = error;
    const QString host = error.url().host();
    QString why;
    // Only an authority the web engine does not know can be one of the meeting's own; a wrong
    // name, an expired or revoked certificate is refused whatever signed it.
    if (error.type() == QWebEngineCertificateError::CertificateAuthorityInvalid && error.isOverridable() &&
        KLWebCertificateTrust::verifyChain(error.certificateChain(), host, m_caFile, &why)) {
        KL_LOG_INFO(kTag, QStringLiteral("%1: %2 verified against the meeting's CA file").arg(m_tag, host));
        decision.acceptCertificate();
        return;
    }
    if (why.isEmpty())
        why = error.description();
    m_certificateRefusal = QStringLiteral("untrusted certificate of %1: %2").arg(host, why);
    KL_LOG_WARN(kTag, QStringLiteral("%1: refused %2").arg(m_tag, m_certificateRefusal));
    decision.rejectCertificate();
}

void KLWebPageView::showFailure(const QString &reason)
{
    KL_LOG_WARN(kTag, QStringLiteral("%1: %2 failed to load: %3").arg(m_tag, m_url.toString(), reason));
    m_failure->setText(KLLocalizedString(QStringLiteral("WEB_PAGE_LOAD_FAILED")) + QStringLiteral("\n\n") + reason);
    m_stack->setCurrentWidget(m_failure);
    Q_EMIT pageFailed(reason);
}
