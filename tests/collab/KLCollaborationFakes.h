#pragma once

// Test doubles of the collaboration layer: a scheduler whose clock the test moves, the
// meeting as the chat and the notes panel see it, the bubble, the caption page and a meeting
// API recording the summary operations.

#include "collab/KLCaptionPage.h"
#include "collab/KLChatHost.h"
#include "collab/KLChatViews.h"
#include "collab/KLDelayScheduler.h"
#include "collab/KLMeetingNoteController.h"
#include "collab/KLMeetingNoteHost.h"

#include "KLSilentMeetingApi.h"
#include "model/KLParticipant.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QStringList>

#include <algorithm>
#include <mutex>
#include <vector>

namespace kltest {

/// Blocks run only when the test advances the clock, in time order, on the test's thread.
class ManualScheduler final : public KLDelayScheduler {
public:
    Token schedule(double seconds, KLBlock block) override
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back({m_nextToken, m_now + seconds, std::move(block)});
        return m_nextToken++;
    }
    void cancel(Token token) override
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_tasks, [&](const Task &t) { return t.token == token; });
    }
    /// Moves the clock by `seconds`, running every block that falls due on the way (also
    /// those scheduled by earlier blocks).
    void advance(double seconds)
    {
        const double target = now() + seconds;
        for (;;) {
            Task due;
            {
                std::lock_guard lock(m_mutex);
                auto it = std::min_element(m_tasks.begin(), m_tasks.end(),
                                           [](const Task &a, const Task &b) { return a.due < b.due; });
                if (it == m_tasks.end() || it->due > target + 1e-9)
                    break;
                due = std::move(*it);
                m_tasks.erase(it);
                m_now = due.due;
            }
            due.block();
        }
        std::lock_guard lock(m_mutex);
        m_now = target;
    }
    double now() const { std::lock_guard lock(m_mutex); return m_now; }
    int pending() const { std::lock_guard lock(m_mutex); return int(m_tasks.size()); }

private:
    struct Task { Token token = 0; double due = 0; KLBlock block; };
    mutable std::mutex m_mutex;
    std::vector<Task> m_tasks;
    Token m_nextToken = 1;
    double m_now = 0;
};

/// The meeting of the chat: records each piece with the scheduler's time.
class FakeChatHost final : public KLChatHost {
public:
    explicit FakeChatHost(const ManualScheduler &clock) : m_clock(clock) {}
    void sendChatMessage(const QString &text) override
    {
        sent.append(text);
        sentAt.push_back(m_clock.now());
    }
    QString feedDisplayName(const QString &uuid) const override { return names.value(uuid); }
    bool isMeetingActive() const override { return active; }

    QStringList sent;
    std::vector<double> sentAt;
    QMap<QString, QString> names;
    bool active = true;

private:
    const ManualScheduler &m_clock;
};

class RecordingBubble final : public KLChatBubbleView {
public:
    void show(const QString &text, const QString &sender) override { calls.append("show " + text + " from " + sender); }
    void hide() override { calls.append("hide"); }
    QStringList calls;
};

/// The caption page: records loads and "msgInvoke" data; the test says when it has loaded.
class FakeCaptionPage final : public KLCaptionPage {
public:
    void loadUrl(const QUrl &url) override { loads.append(url); }
    void callHandler(const QString &handler, const QJsonObject &data) override
    {
        handlers.append(handler);
        invocations.append(data);
    }
    void setPageLoadedHandler(KLBlock handler) override { m_loaded = std::move(handler); }
    void finishLoading() { if (m_loaded) m_loaded(); }
    QStringList actions() const
    {
        QStringList names;
        for (const QJsonObject &data : invocations)
            names.append(data.value("action").toString());
        return names;
    }

    QList<QUrl> loads;
    QStringList handlers;
    QList<QJsonObject> invocations;

private:
    KLBlock m_loaded;
};

/// Records the summary operations; the test runs each one's success or failure block.
class SummaryApi final : public SilentMeetingApi {
public:
    struct Call {
        QString name;
        KLParticipantPtr who;
        QString language;
        bool isTrain, sendMail;
        S success;
        F failure;
    };
    void openSummaryWithAppointment(P who, T language, bool isTrain, bool sendMail, S s, F f) override
    { calls.push_back({"open", who, language, isTrain, sendMail, s, f}); }
    void changeMemberSummaryLangWithAppointment(P who, T language, S s, F f) override
    { calls.push_back({"lang", who, language, false, false, s, f}); }
    void stopSummaryWithAppointment(P who, S s, F f) override
    { calls.push_back({"stop", who, {}, false, false, s, f}); }

    std::vector<Call> calls;
};

/// The meeting of the notes panel, with everything it is told recorded.
class FakeNoteHost final : public KLMeetingNoteHost {
public:
    std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const override { return api; }
    std::shared_ptr<KLParticipant> ownParticipant() const override { return own; }
    bool isOpenSummary() const override { return open; }
    void setIsOpenSummary(bool value) override { open = value; }
    QString summaryLanguage() const override { return language; }
    void setSummaryLanguage(const QString &value) override { language = value; }
    QString meetingSummaryRtShowUrl() const override { return pageUrl; }
    bool isSelfInMeeting() const override { return alone; }
    void actionLog(const QString &button) override { actions.append(button); }
    void commitMonitorLevel(int level, int group, const QJsonObject &params) override
    {
        records.append(QString("%1/%2 ").arg(level).arg(group) +
                       QString::fromUtf8(QJsonDocument(params).toJson(QJsonDocument::Compact)));
    }
    void showToastDialog(KLDialogRequest request) override { dialogs.push_back(std::move(request)); }

    std::shared_ptr<SummaryApi> api = std::make_shared<SummaryApi>();
    KLParticipantPtr own = KLParticipant::createWithDictionary({{"memberUUID", "own-uuid"}, {"appointmentId", 42}});
    bool open = false;
    QString language;
    QString pageUrl = "https://127.0.0.1:8443/it-service/kelvo-subtitle/0.0.5/index.html";
    bool alone = false;
    QStringList actions;
    QStringList records;
    std::vector<KLDialogRequest> dialogs;
};

class RecordingPanel final : public KLMeetingNotePanelView {
public:
    void showStartView() override { calls.append("start view"); }
    void showCaptionArea() override { calls.append("captions"); }
    QStringList calls;
};

} // namespace kltest
