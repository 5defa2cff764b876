#include "HostScreenshots.h"

#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>

namespace kelvohost {

namespace {
// How long after the share starts the picture is taken: the shared screen's first frames are
// drawn and its toast is still up (toasts last three seconds).
constexpr int kAfterShareMs = 1500;
// The user's own share runs this long before its notice is pictured and stopped there.
constexpr int kShareNoticeMs = 1200;
// The step of the demo after which the user shares (nobody else shares until later).
constexpr double kOwnShareAt = 1;
// The leave dialog is given a moment to be laid out and painted.
constexpr int kAfterLeaveMs = 400;
// After a caption line, the page has drawn it.
constexpr int kAfterCaptionMs = 1000;
// The rating page (loaded hidden during the meeting) is given time to be shown and painted;
// it is waited for at most this long.
constexpr int kAfterRatePageMs = 1200;
constexpr int kRatePageWaitMs = 8000;
// The step whose chat message (the meeting's first) is pictured with the member list, and how
// long the bubble and the reply are given to be drawn.
constexpr double kFirstChatAt = 8;
constexpr int kAfterChatMs = 500;
} // namespace

HostScreenshots::HostScreenshots(KLUISDKMeetingMainWindow &meeting, QString directory, QString language)
    : m_meeting(meeting), m_directory(std::move(directory)), m_language(std::move(language))
{
}

QWidget *HostScreenshots::meetingWindow() const
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QLatin1String("meeting-window") && top->isVisible())
            return top;
    }
    return nullptr;
}

void HostScreenshots::start()
{
    QDir().mkpath(m_directory);
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        if (m_enteringTaken || !meetingWindow())
            return;
        // The window is up with its loading page: pictured before the join completes.
        m_enteringTaken = true;
        poll->stop();
        grab(QStringLiteral("entering"));
    });
    poll->start(1);
}

void HostScreenshots::demoStep(const QJsonObject &step)
{
    if (step.value(QLatin1String("at")).toDouble() == kOwnShareAt)
        pictureShareNotice();
    if (step.value(QLatin1String("at")).toDouble() == kFirstChatAt && step.contains(QLatin1String("chat")))
        pictureMembersAndChat();
    if (step.value(QLatin1String("screen")).toString() == QLatin1String("start"))
        QTimer::singleShot(kAfterShareMs, this, [this] { grab(QStringLiteral("shared-screen")); });
    const QString picture = step.value(QLatin1String("picture")).toString();
    if (!picture.isEmpty()) {
        QTimer::singleShot(kAfterCaptionMs, this, [this, picture] {
            grab(picture);
            leaveToTheRatingPage();
        });
    }
}

void HostScreenshots::leaveToTheRatingPage()
{
    m_meeting.performUserAction(KLUISDKUserAction::Leave);
    QTimer::singleShot(kAfterLeaveMs, this, [this] {
        grab(QStringLiteral("leave-dialog"));
        // The dialog's first button leaves; the window then shows the rating page.
        QWidget *window = meetingWindow();
        auto *leave = window ? window->findChild<QPushButton *>(QStringLiteral("dialog-first-button")) : nullptr;
        if (!leave) {
            std::fprintf(stderr, "kelvo-host: no leave button to press\n");
            m_meeting.performUserAction(KLUISDKUserAction::Close);
            return;
        }
        leave->click();
        auto *poll = new QTimer(this);
        auto waited = std::make_shared<QElapsedTimer>();
        waited->start();
        connect(poll, &QTimer::timeout, this, [this, poll, waited] {
            QWidget *window = meetingWindow();
            QWidget *page = window ? window->findChild<QWidget *>(QStringLiteral("rate-page")) : nullptr;
            const bool shown = page && page->isVisible();
            if (!shown && waited->elapsed() < kRatePageWaitMs)
                return;
            poll->stop();
            poll->deleteLater();
            if (!shown) {
                std::fprintf(stderr, "kelvo-host: the rating page did not show\n");
                m_meeting.performUserAction(KLUISDKUserAction::Close);
                return;
            }
            QTimer::singleShot(kAfterRatePageMs, this, [this] {
                grab(QStringLiteral("rating-page"));
                m_meeting.performUserAction(KLUISDKUserAction::Close);
            });
        });
        poll->start(50);
    });
}

void HostScreenshots::pictureMembersAndChat()
{
    QTimer::singleShot(kAfterChatMs, this, [this] {
        grab(QStringLiteral("member-list"));
        QWidget *window = meetingWindow();
        auto *open = window ? window->findChild<QPushButton *>(QStringLiteral("chat-button")) : nullptr;
        auto *text = window ? window->findChild<QLineEdit *>(QStringLiteral("chat-text")) : nullptr;
        auto *send = window ? window->findChild<QPushButton *>(QStringLiteral("chat-send")) : nullptr;
        if (!open || !text || !send) {
            std::fprintf(stderr, "kelvo-host: no chat panel to type into\n");
            return;
        }
        open->click();
        text->setText(m_language == QLatin1String("zh") ? QStringLiteral("好的，我们开始吧。")
                                                          : QStringLiteral("Sounds good, let's go."));
        send->click();
        // A second line left in the field shows the input in use.
        text->setText(m_language == QLatin1String("zh") ? QStringLiteral("发布计划见附件") : QStringLiteral("The plan is in the notes"));
        QTimer::singleShot(kAfterChatMs, this, [this] { grab(QStringLiteral("chat")); });
    });
}

// The user shares their own screen: the notice on top of the screen is pictured with what is
// under it, then its stop button ends the share and the meeting window comes back.
void HostScreenshots::pictureShareNotice()
{
    m_meeting.performUserAction(KLUISDKUserAction::Share);
    QTimer::singleShot(kShareNoticeMs, this, [this] {
        QWidget *notice = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->objectName() == QLatin1String("share-notice") && top->isVisible())
                notice = top;
        if (!notice) {
            std::fprintf(stderr, "kelvo-host: no share notice to picture\n");
            return;
        }
        const QRect area = notice->frameGeometry().adjusted(-40, -12, 40, 60);
        const QString path = QDir(m_directory).filePath(QStringLiteral("meeting-share-notice-%1.png").arg(m_language));
        QScreen *screen = notice->screen();
        if (!screen || !screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(path))
            std::fprintf(stderr, "kelvo-host: cannot write %s\n", qPrintable(path));
        else
            std::fprintf(stderr, "kelvo-host: pictured %s\n", qPrintable(path));
        if (auto *stop = notice->findChild<QPushButton *>(QStringLiteral("share-notice-stop-button")))
            stop->click();
        if (QWidget *window = meetingWindow())
            window->showNormal();
    });
}

void HostScreenshots::grab(const QString &moment)
{
    QWidget *window = meetingWindow();
    if (!window) {
        std::fprintf(stderr, "kelvo-host: no meeting window to picture at \"%s\"\n", qPrintable(moment));
        return;
    }
    const QString path = QDir(m_directory).filePath(QStringLiteral("meeting-%1-%2.png").arg(moment, m_language));
    if (!window->grab().save(path))
        std::fprintf(stderr, "kelvo-host: cannot write %s\n", qPrintable(path));
    else
        std::fprintf(stderr, "kelvo-host: pictured %s\n", qPrintable(path));
}

} // namespace kelvohost
