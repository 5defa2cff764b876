#pragma once

// A drawn meeting window joined to the simulator's meeting: the widget factory installed, the
// entry object created as a host would create it, and the window's widgets at hand. One
// simulator serves the whole suite; each test joins afresh.

#include "KLSimMeetingSetup.h"

#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLTimeScale.h"
#include "ui/KLTheme.h"
#include "ui/dialog/KLDialogWidget.h"
#include "ui/layout/KLMeetingLayoutWidget.h"
#include "ui/tiles/KLMeetingVideoArea.h"
#include "ui/toast/KLToastWidget.h"
#include "ui/toolbar/KLHubButtonWidget.h"
#include "ui/toolbar/KLHubWidget.h"
#include "ui/window/KLMeetingWidgetFactory.h"
#include "ui/window/KLMeetingWindowWidget.h"

#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>
#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>
#include <QJsonArray>
#include <QPushButton>

#include <mutex>

namespace kltest {

/// The host's delegate: what the host heard, in order.
class UIHost final : public KLUISDKMeetingEventDelegate {
public:
    void onMeetingJoined() override { add(QStringLiteral("joined")); }
    void onError(int code, const QString &reason) override { add(QStringLiteral("error %1 %2").arg(code).arg(reason)); }
    void onMeetingFinish(int reason, const QString &) override { add(QStringLiteral("finish %1").arg(reason)); }
    QStringList heard() const { std::lock_guard l(m_mutex); return m_heard; }

private:
    void add(const QString &what) { std::lock_guard l(m_mutex); m_heard << what; }
    mutable std::mutex m_mutex;
    QStringList m_heard;
};

/// A key pressed and released in `widget`'s window, delivered as the keyboard would: to the
/// focus widget when the window has one.
inline void pressKey(QWidget *widget, int key)
{
    QWidget *target = QApplication::focusWidget();
    if (!target || target->window() != widget->window())
        target = widget;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

class UIWindowFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        QString error;
        sim = startSuiteSimulator(&meeting, &error);
        ASSERT_TRUE(sim) << error.toStdString();
        KLMeetingWidgetFactory::install();
    }
    static void TearDownTestSuite()
    {
        KLMeetingViewFactory::install(nullptr);
        delete sim;
        sim = nullptr;
    }

    void SetUp() override
    {
        KLLocalization::setLanguage(KLLocalization::Language::English);
        sim->clearFaults();
        sim->clearRequests();
        platform = installGrantingPlatform();
    }

    void TearDown() override
    {
        entry.reset();
        waitUntil([] { return window() == nullptr; }, 3000);
        KLTimeScale::setFactor(1.0);
        KLPlatform::install(nullptr);
    }

    QVariantMap meetingDictionary(bool internal = false) const
    {
        return simMeetingDictionary(*sim, meeting, internal);
    }

    /// Joins and waits until the meeting page is up with the host told of the join.
    void join(const QVariantMap &ui = {{"meetingTopic", "Release planning"}, {"meetingCode", "880 012 345"}},
              bool internal = false)
    {
        entry = std::make_unique<KLUISDKMeetingMainWindow>(ui, meetingDictionary(internal), host);
        entry->joinMeeting();
        ASSERT_NE(window(), nullptr) << "no window drawn";
        ASSERT_TRUE(waitUntil([this] { return host->heard().contains("joined"); }, 15000)) << "not joined";
        ASSERT_TRUE(waitUntil([] { return window() && layout()->page() == KLMeetingLayoutWidget::Page::Meeting; }));
    }

    /// The meeting window on screen, or null once it has closed (a closed window is deleted on
    /// a later turn of the loop).
    static KLMeetingWindowWidget *window()
    {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            auto *w = qobject_cast<KLMeetingWindowWidget *>(top);
            if (w && w->isVisible())
                return w;
        }
        return nullptr;
    }
    static KLMeetingLayoutWidget *layout() { return window()->layoutWidget(); }
    static KLDialogWidget *dialog() { return window()->dialogWidget(); }
    static KLHubButtonWidget *hubButton(const char *control)
    {
        return layout()->hubWidget()->button(QLatin1String(control));
    }
    static QString memberName(int index)
    {
        return meeting.value("members").toArray().at(index).toObject().value("displayName").toString();
    }

    static inline kelvosim::MeetingSim *sim = nullptr;
    static inline QJsonObject meeting;
    std::shared_ptr<KLFakePlatform> platform;
    std::shared_ptr<UIHost> host = std::make_shared<UIHost>();
    std::unique_ptr<KLUISDKMeetingMainWindow> entry;
};

} // namespace kltest
