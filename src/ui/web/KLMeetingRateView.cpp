#include "ui/web/KLMeetingRateView.h"

#include "runtime/KLSDKLog.h"

namespace {
const char *const kTag = "KLMeetingRateView";
} // namespace

void KLRatePageObject::ocMethod(const QString &status)
{
    KL_LOG_INFO(kTag, QStringLiteral("rate page status %1").arg(status.left(200)));
    if (m_handler)
        m_handler(status);
}

KLMeetingRateView::KLMeetingRateView(const QString &caFile, std::function<void(const QString &)> statusReceived,
                                     QWidget *parent)
    : KLWebPageView(QStringLiteral("rate page"), parent)
{
    setObjectName(QStringLiteral("rate-page"));
    m_native = new KLRatePageObject(std::move(statusReceived), this);
    setCaFile(caFile);
    exposeObject(QStringLiteral("native"), m_native, {QStringLiteral("ocMethod")});
}
