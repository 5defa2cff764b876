#pragma once

// The decisions of the meeting-notes panel, without widgets: which part of the panel shows,
// the caption page's address and loading, starting, stopping and re-languaging the note
// taker through the meeting service, and the notice to the page that the user is alone.

#include "collab/KLDelayScheduler.h"

#include <QString>
#include <QUrl>

#include <memory>

class KLCaptionBridge;
class KLMeetingNoteHost;

/// The panel's two faces, drawn by the widget layer. Main thread.
class KLMeetingNotePanelView {
public:
    virtual ~KLMeetingNotePanelView() = default;
    /// The start view (send-mail box ticked, language buttons "zh"/"en"); captions hidden.
    virtual void showStartView() = 0;
    /// The caption area; the start view hidden.
    virtual void showCaptionArea() = 0;
};

namespace KLMeetingNoteNames {
/// Posted by the translation switch; user info "language".
inline constexpr const char *MeetingNoteTranslateOpen = "MeetingNoteTranslateOpen";
inline constexpr const char *language = "language";
} // namespace KLMeetingNoteNames

/// One panel. Create it, attach views, then `buildPanel()`; all members run on the main
/// thread (meeting-service answers hop there). It observes "GetAppointmentDetail",
/// "MeetingNoteSummaryStart", "MeetingNoteSummaryStop" and "StopMeetingNote" (rebuild),
/// "OnlineOfflineChangeNotification" (alone or not) and "MeetingNoteTranslateOpen".
class KLMeetingNoteController : public std::enable_shared_from_this<KLMeetingNoteController> {
public:
    /// How long the user must be alone before the page is told, in seconds.
    static constexpr double kOnlySelfSeconds = 5.0;

    static std::shared_ptr<KLMeetingNoteController>
    create(std::weak_ptr<KLMeetingNoteHost> host, std::shared_ptr<KLCaptionBridge> captionView,
           std::shared_ptr<KLDelayScheduler> scheduler = KLDelayScheduler::timerScheduler());
    ~KLMeetingNoteController();
    KLMeetingNoteController(const KLMeetingNoteController &) = delete;
    KLMeetingNoteController &operator=(const KLMeetingNoteController &) = delete;

    void setPanelView(std::shared_ptr<KLMeetingNotePanelView> view);

    /// Not running: the start view. Running: the caption area, and the page loaded the first
    /// time (the only-self check runs when it has loaded), else scrolled to the bottom.
    void buildPanel();
    /// The start button: "zh" when the Chinese button is selected, else "en".
    void startMeetingNote(bool chineseSelected, bool sendMail, bool isTrain);
    /// Translation language buttons ("zh" or "en").
    void selectTranslateLanguage(const QString &language);
    /// The translation switch.
    void setTranslateEnabled(bool enabled);
    /// Spoken-language buttons ("zh" or "en").
    void selectSpeakerLanguage(const QString &language);
    /// The stop button: asks for confirmation; the confirming button runs `stopMeetingNote`.
    void stopButtonPressed();
    /// The confirmed stop.
    void stopMeetingNote();
    /// Alone now and not before: the page is told after 5.0 s, unless someone comes back.
    void checkOnlySelf();

    bool hasLoadWebView() const { return m_hasLoadWebView; }
    bool lastSelfInMeetingFlag() const { return m_lastSelfInMeetingFlag; }
    bool isOnlySelfTimerRunning() const { return m_onlySelfTimer != 0; }
    QString translateLanguage() const { return m_translateLanguage; }

    /// The caption page's address: `baseUrl` + "?translateLang=" ("en" for an English
    /// interface, else "zh") + "&speakLang=" + the spoken language.
    static QUrl pageAddress(const QString &baseUrl, bool englishInterface,
                            const QString &summaryLanguage);

private:
    KLMeetingNoteController(std::weak_ptr<KLMeetingNoteHost> host,
                            std::shared_ptr<KLCaptionBridge> captionView,
                            std::shared_ptr<KLDelayScheduler> scheduler);
    void observeNotifications();
    void loadCaptionPage(const KLMeetingNoteHost &host);
    void startSucceeded(const QString &language);
    void stopSucceeded();
    void cancelOnlySelfTimer();
    /// Runs `act` on the main thread while this controller still exists.
    template <typename Act>
    void onMain(Act act);

    std::weak_ptr<KLMeetingNoteHost> m_host;
    std::shared_ptr<KLCaptionBridge> m_captionView;
    std::shared_ptr<KLDelayScheduler> m_scheduler;
    std::shared_ptr<KLMeetingNotePanelView> m_view;
    bool m_hasLoadWebView = false;
    bool m_lastSelfInMeetingFlag = false;
    KLDelayScheduler::Token m_onlySelfTimer = 0;
    QString m_translateLanguage = QStringLiteral("zh");
};
