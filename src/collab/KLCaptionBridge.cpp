#include "collab/KLCaptionBridge.h"

#include "collab/KLCaptionPage.h"
#include "runtime/KLSDKLog.h"

namespace {
const char *const kTag = "KLMeetingCaptionView";
// The page reads no param for these notices but expects a language word in it.
const QString kDefaultParam = QStringLiteral("zh");
} // namespace

std::shared_ptr<KLCaptionBridge> KLCaptionBridge::create(std::shared_ptr<KLCaptionPage> page)
{
    std::shared_ptr<KLCaptionBridge> bridge(new KLCaptionBridge(std::move(page)));
    std::weak_ptr<KLCaptionBridge> weak = bridge;
    bridge->m_page->setPageLoadedHandler([weak]() {
        if (auto self = weak.lock())
            self->pageDidLoad();
    });
    return bridge;
}

KLCaptionBridge::KLCaptionBridge(std::shared_ptr<KLCaptionPage> page) : m_page(std::move(page)) {}

void KLCaptionBridge::loadUrl(const QUrl &url, KLBlock completionHandler)
{
    KL_LOG_INFO(kTag, QStringLiteral("load caption page %1").arg(url.toString()));
    m_completionHandler = std::move(completionHandler);
    m_page->loadUrl(url);
}

void KLCaptionBridge::pageDidLoad()
{
    KL_LOG_INFO(kTag, QStringLiteral("caption page loaded"));
    m_webviewIsLoad = true;
    if (auto completion = std::exchange(m_completionHandler, nullptr))
        completion();
}

void KLCaptionBridge::pushMessageToH5(const QString &captionJson)
{
    callH5Function(QStringLiteral("onReceive"), captionJson, false);
}

void KLCaptionBridge::changeTranslageLanguage(const QString &language)
{
    callH5Function(QStringLiteral("onTranslateChange"), language);
}

void KLCaptionBridge::changeSpeakerLanguage(const QString &language)
{
    callH5Function(QStringLiteral("onSpeakChange"), language);
}

void KLCaptionBridge::closeTranslate()
{
    callH5Function(QStringLiteral("onTranslateClose"), kDefaultParam);
}

void KLCaptionBridge::onlyOnePersonInMeeting()
{
    callH5Function(QStringLiteral("onOnlySelfInMeeting"), kDefaultParam);
}

void KLCaptionBridge::onScrollBottom()
{
    callH5Function(QStringLiteral("onScrollBottom"), kDefaultParam);
}

void KLCaptionBridge::callH5Function(const QString &action, const QString &param, bool escape)
{
    const QJsonObject data = invocation(action, escape ? escapedParam(param) : param);
    std::weak_ptr<KLCaptionBridge> weak = weak_from_this();
    KLPerformBlockOnMainThread([weak, data, action]() {
        auto self = weak.lock();
        if (!self)
            return;
        if (!self->m_webviewIsLoad) {
            KL_LOG_INFO(kTag, QStringLiteral("%1 dropped: the caption page has not loaded").arg(action));
            return;
        }
        self->m_page->callHandler(QString::fromLatin1(kHandler), data);
    });
}

QJsonObject KLCaptionBridge::invocation(const QString &action, const QString &param)
{
    return QJsonObject{{QStringLiteral("action"), action}, {QStringLiteral("param"), param}};
}

QString KLCaptionBridge::escapedParam(const QString &param)
{
    QString escaped;
    escaped.reserve(param.size() + 8);
    for (const QChar c : param) {
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            escaped.append(QLatin1Char('\\'));
            escaped.append(c);
        } else if (c == QLatin1Char('\n')) {
            escaped.append(QLatin1String("\\n"));
        } else if (c != QLatin1Char('\r')) {
            escaped.append(c);
        }
    }
    return escaped;
}
