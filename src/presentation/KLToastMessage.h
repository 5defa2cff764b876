#pragma once

#include <QString>

#include <optional>

/// The kinds of transient toast. The numbers are fixed: they are compared across the queue.
enum class KLToastKind : qint64 {
    AudioMute = 0,
    AudioUnMute = 1,
    MemberOnline = 4,
    MemberOffline = 5,
    MemberRing = 6,
    MemberNoAnswer = 7,
    ScreenShare = 8,
    StopShare = 9,
    SpeakerMute = 10,
    SpeakerUnMute = 11,
    ShareScreenEsc = 12,
    CellPhone = 13,
    MeetingURLCopy = 14,
    MeetingShare = 15,
    Custom = 16,
};

/// Whom a toast is about: the participant's feed, reduced to what the toasts need.
struct KLToastClient {
    QString uuid;
    QString displayName;
};

/// A colour as "#RRGGBB" plus an opacity.
struct KLToastColor {
    QString hex;
    double alpha = 1.0;
    bool operator==(const KLToastColor &other) const = default;
};

/// One transient toast. Messages about a person carry the name as `displayMessage` and the
/// localised tail as `suffixMessage`, so that names of several people can be merged into one
/// toast; other messages carry the localised text alone.
struct KLToastMessage {
    std::optional<KLToastClient> client;
    KLToastKind messageType = KLToastKind::Custom;
    qint64 toastLevel = 3;
    KLToastColor backgroundColor{QStringLiteral("#000000"), 0.8};
    KLToastColor textColor{QStringLiteral("#FFFFFF"), 1.0};
    QString toastImage;  ///< empty: no image
    QString displayMessage;
    QString suffixMessage;
    QString messageKey;  ///< the localisation key of the text, empty for custom texts

    /// The text as shown: the display text, then a blank and the suffix when there is one.
    QString text() const;
    /// Same person: both have a client and their uuids match. A missing client matches nobody.
    bool isAboutSameClient(const KLToastMessage &other) const;

    static KLToastMessage audioMute(const KLToastClient &client);
    static KLToastMessage audioUnMute(const KLToastClient &client);
    static KLToastMessage memberOnline(const KLToastClient &client);
    static KLToastMessage memberOffline(const KLToastClient &client);
    static KLToastMessage memberRing(const KLToastClient &client);
    static KLToastMessage memberNoAnswer(const KLToastClient &client);
    static KLToastMessage screenShare(const KLToastClient &client);
    static KLToastMessage stopShare(const KLToastClient &client);
    static KLToastMessage speakerMute(std::optional<KLToastClient> client = std::nullopt);
    static KLToastMessage speakerUnMute(std::optional<KLToastClient> client = std::nullopt);
    static KLToastMessage shareScreenEsc(std::optional<KLToastClient> client = std::nullopt);
    static KLToastMessage meetingCallCellPhone(std::optional<KLToastClient> client = std::nullopt);
    static KLToastMessage meetingCellPhoneOnline(std::optional<KLToastClient> client = std::nullopt);
    static KLToastMessage meetingCellPhoneOffline(std::optional<KLToastClient> client = std::nullopt);
    static KLToastMessage meetingCodeCopy(std::optional<KLToastClient> client = std::nullopt);
    static KLToastMessage meetingURLCopy(std::optional<KLToastClient> client = std::nullopt);
    static KLToastMessage meetingShare(std::optional<KLToastClient> client = std::nullopt);
    static KLToastMessage custom(const QString &text);

private:
    static KLToastMessage aboutPerson(KLToastKind kind, const KLToastClient &client, const char *key);
    static KLToastMessage plain(KLToastKind kind, std::optional<KLToastClient> client, const char *key);
};
