// minimal-host: joins one meeting in the SDK's own window, prints the four callbacks and quits
// once the window has closed and the meeting's threads have ended.
//
//   minimal-host [--leave-after SECONDS] KEY=VALUE...
//
// KEY_... entries go to the user store (KEY_ACCESS_TOKEN, KEY_WORK_ID), every other entry into
// the meeting dictionary (meetingUUID, memberUUID, meetingToken, apiBaseUrl, caFile, ...).
// With --leave-after the window is closed that many seconds after the join, as the user would.
#include <KelvoUISDK/KLSDKMeetingUser.h>
#include <KelvoUISDK/KLUISDKMeetingConfigKeys.h>
#include <KelvoUISDK/KLUISDKMeetingEventDelegate.h>
#include <KelvoUISDK/KLUISDKMeetingMainWindow.h>
#include <KelvoUISDK/KLUISDKUserStore.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <cstdio>

// Callbacks come on the SDK's threads; printing a line is all this host does with them.
class PrintingDelegate : public KLUISDKMeetingEventDelegate {
public:
    void onMeetingJoined() override
    {
        print(QStringLiteral("joined"));
        joined = true;
    }
    void onError(int code, const QString &reason) override
    {
        print(QStringLiteral("error %1 %2").arg(code).arg(reason));
    }
    void onMeetingFinish(int reason, const QString &text) override
    {
        print(QStringLiteral("finished %1 %2").arg(reason).arg(text));
    }
    void onMeetingUserStatusChange(const std::shared_ptr<KLSDKMeetingUser> &user, int event) override
    {
        print(QStringLiteral("user %1 status %2").arg(user ? user->name : QString()).arg(event));
    }

    std::atomic<bool> joined = false;

private:
    static void print(const QString &line)
    {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // This host quits by itself once the meeting is over, not when its last window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    QCoreApplication::setOrganizationName(QStringLiteral("Kelvo"));
    QCoreApplication::setApplicationName(QStringLiteral("minimal-host"));

    QVariantMap meetingConfig;
    int leaveAfterSeconds = -1;
    QStringList arguments = app.arguments().mid(1);
    while (!arguments.isEmpty()) {
        const QString argument = arguments.takeFirst();
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (argument == QLatin1String("--leave-after") && !arguments.isEmpty()) {
            leaveAfterSeconds = arguments.takeFirst().toInt();
        } else if (equals > 0 && argument.startsWith(QLatin1String("KEY_"))) {
            KLUISDKWriteUserValue(argument.left(equals), argument.mid(equals + 1));
        } else if (equals > 0) {
            meetingConfig.insert(argument.left(equals), argument.mid(equals + 1));
        } else {
            std::fprintf(stderr, "usage: minimal-host [--leave-after SECONDS] KEY=VALUE...\n");
            return 2;
        }
    }
    const QVariantMap uiConfig{{QLatin1String(KLUISDKGuiConfigMeetingTopic), QStringLiteral("Minimal host")}};

    auto delegate = std::make_shared<PrintingDelegate>();
    KLUISDKMeetingMainWindow meeting(uiConfig, meetingConfig, delegate);
    meeting.joinMeeting();
    if (!meeting.hasMeetingWindow())
        return 1;  // a credential was missing; onError said which

    // The window's closing ends the meeting; its threads finish a few milliseconds later.
    QElapsedTimer sinceJoined;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (delegate->joined && !sinceJoined.isValid())
            sinceJoined.start();
        if (leaveAfterSeconds >= 0 && sinceJoined.isValid() && sinceJoined.elapsed() >= leaveAfterSeconds * 1000) {
            meeting.performUserAction(KLUISDKUserAction::Close);
            leaveAfterSeconds = -1;
        }
        if (!meeting.hasMeetingWindow() && !KLUISDKMeetingMainWindow::hasMeetingThreads()) {
            std::printf("closed\n");
            QCoreApplication::quit();
        }
    });
    poll.start(20);
    return app.exec();
}
