#include "collab/KLMeetingNoteManager.h"

#include "collab/KLCaptionBridge.h"
#include "runtime/KLDictionary.h"
#include "runtime/KLSDKLog.h"

namespace {
const char *const kTag = "KLMeetingNoteManager";
const int kUnknownMemberType = 3;
} // namespace

KLMeetingNoteManager &KLMeetingNoteManager::sharedInstance()
{
    // Never destroyed: its timers and views must not be torn down after the application
    // object is gone at process exit.
    static KLMeetingNoteManager *instance = new KLMeetingNoteManager;
    return *instance;
}

void KLMeetingNoteManager::initMeetingCaptionView(std::shared_ptr<KLCaptionPage> page)
{
    std::shared_ptr<KLCaptionBridge> bridge = page ? KLCaptionBridge::create(std::move(page)) : nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_captionView = std::move(bridge);
}

std::shared_ptr<KLCaptionBridge> KLMeetingNoteManager::captionView() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_captionView;
}

QString KLMeetingNoteManager::captionText(const QJsonObject &caption)
{
    QJsonObject message = caption;
    if (!message.contains(QStringLiteral("memberType")) ||
        message.value(QStringLiteral("memberType")).isNull())
        message.insert(QStringLiteral("memberType"), kUnknownMemberType);
    return KL_JSONString(message);
}

void KLMeetingNoteManager::pushSubTitle(const QJsonObject &caption)
{
    const QString text = captionText(caption);
    if (text.isEmpty()) {
        KL_LOG_WARN(kTag, QStringLiteral("caption line dropped: not convertible to JSON"));
        return;
    }
    auto view = captionView();
    if (!view) {
        KL_LOG_INFO(kTag, QStringLiteral("caption line dropped: no caption page"));
        return;
    }
    view->pushMessageToH5(text);
}
