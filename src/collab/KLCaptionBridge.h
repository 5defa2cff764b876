#pragma once

// The native side of the caption page: loads it and passes it messages through the page's
// "msgInvoke" handler as {"action", "param"}. Calls made before the page has finished loading
// are dropped, not queued: captions are live, and a late burst of old lines would only
// confuse the reader.

#include <KelvoUISDK/KLSDKDispatch.h>

#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <atomic>
#include <memory>

class KLCaptionPage;

class KLCaptionBridge : public std::enable_shared_from_this<KLCaptionBridge> {
public:
    /// The page's handler name.
    static constexpr const char *kHandler = "msgInvoke";

    /// A bridge over `page` (not null); it installs itself as the page's load handler.
    /// Main thread.
    static std::shared_ptr<KLCaptionBridge> create(std::shared_ptr<KLCaptionPage> page);

    /// Main thread: loads `url`; `completionHandler` runs once, when that load has finished.
    void loadUrl(const QUrl &url, KLBlock completionHandler = {});
    /// The page finished loading at least once (stays true).
    bool webviewIsLoad() const { return m_webviewIsLoad.load(); }

    /// "onReceive" with a caption message as JSON text (sent unescaped).
    void pushMessageToH5(const QString &captionJson);
    /// "onTranslateChange" with the translation language.
    void changeTranslageLanguage(const QString &language);
    /// "onSpeakChange" with the spoken language.
    void changeSpeakerLanguage(const QString &language);
    /// "onTranslateClose".
    void closeTranslate();
    /// "onOnlySelfInMeeting".
    void onlyOnePersonInMeeting();
    /// "onScrollBottom".
    void onScrollBottom();

    /// Any thread: hops to the main thread and calls the page, escaping `param` first when
    /// `escape` is set; dropped (with a log line) while the page has not loaded.
    void callH5Function(const QString &action, const QString &param, bool escape = true);

    /// The "msgInvoke" data for one call.
    static QJsonObject invocation(const QString &action, const QString &param);
    /// A backslash before every ' and ", a line feed as backslash-n, carriage returns removed.
    static QString escapedParam(const QString &param);

private:
    explicit KLCaptionBridge(std::shared_ptr<KLCaptionPage> page);
    void pageDidLoad();

    std::shared_ptr<KLCaptionPage> m_page;
    std::atomic<bool> m_webviewIsLoad{false};
    KLBlock m_completionHandler; // main thread only
};
