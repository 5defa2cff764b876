#include "ui/web/KLCaptionWebView.h"

#include "runtime/KLSDKLog.h"
#include "ui/web/KLWebPageView.h"

#include <QJsonDocument>

namespace {
const char *const kTag = "KLMeetingCaptionView";
} // namespace

void KLCaptionPageObject::setLoaded()
{
    if (m_loaded)
        return;
    m_loaded = true;
    Q_EMIT webviewIsLoadChanged();
}

void KLCaptionPageObject::log(const QString &message)
{
    KL_LOG_INFO(kTag, QStringLiteral("page: %1").arg(message.left(1000)));
}

KLCaptionWebView::KLCaptionWebView(KLWebPageView *view, const QString &caFile)
    : m_view(view), m_object(std::make_unique<KLCaptionPageObject>())
{
    m_view->setCaFile(caFile);
    m_view->exposeObject(QStringLiteral("kelvoMac"), m_object.get(), {QStringLiteral("log")});
    std::weak_ptr<KLBlock> loaded = m_loaded;
    KLCaptionPageObject *object = m_object.get();
    QObject::connect(m_view, &KLWebPageView::pageLoaded, object, [loaded, object] {
        object->setLoaded();
        if (auto handler = loaded.lock(); handler && *handler)
            (*handler)();
    });
}

KLCaptionWebView::~KLCaptionWebView() = default;

void KLCaptionWebView::loadUrl(const QUrl &url)
{
    if (m_view)
        m_view->load(url);
}

void KLCaptionWebView::callHandler(const QString &handler, const QJsonObject &data)
{
    if (!m_view)
        return;
    const QString action = data.value(QStringLiteral("action")).toString();
    m_view->callPageFunction(handler, data, [handler, action](bool handled, const QVariant &reply) {
        if (!handled) {
            KL_LOG_WARN(kTag, QStringLiteral("%1 %2: the page has no such handler").arg(handler, action));
            return;
        }
        KL_LOG_DEBUG(kTag, QStringLiteral("%1 %2 answered %3").arg(handler, action, reply.toString().left(200)));
    });
}

void KLCaptionWebView::setPageLoadedHandler(KLBlock handler)
{
    *m_loaded = std::move(handler);
}
