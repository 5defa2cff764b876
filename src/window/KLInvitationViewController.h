#pragma once

// The invitation page's decisions, without widgets: searching the directory (recent contacts
// while the field is empty), the chosen invitees with their duplicate and meeting-size rules,
// the one add request, and afterwards the status check that marks invited rooms busy in
// another meeting or sharing. The widget layer implements KLInvitationView and only draws.
//
// Threads: create it, type, choose and confirm on the main thread; the meeting API's answers
// are moved to the main thread.

#include "window/KLPanelMeeting.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class KLTimer;

/// What the invitation page shows; every call arrives on the main thread.
class KLInvitationView {
public:
    virtual ~KLInvitationView() = default;
    /// The results list with its localised header ("recent contacts" or "search results").
    virtual void showResults(const QString &header, const QList<KLParticipantPtr> &results) = 0;
    virtual void setResultsVisible(bool visible) = 0;
    virtual void setClearButtonVisible(bool visible) = 0;
    /// The chosen invitees and the localised count text ("Selected(2)").
    virtual void setInvitees(const QList<KLParticipantPtr> &invitees, const QString &countText) = 0;
    virtual void closePage() = 0;
};

class KLInvitationViewController final : public std::enable_shared_from_this<KLInvitationViewController> {
public:
    /// Online and offline members plus chosen invitees stay below this.
    static constexpr int kMaxMembers = 60;
    static constexpr qint64 kEmployee = 1;
    static constexpr qint64 kRoom = 2;
    static constexpr qint64 kExternal = 3;

    struct Setup {
        /// Reports a control identifier to the host; KLMessageMode's action log by default.
        std::function<void(const QString &control)> actionLog;
        /// How long after a successful add the invited rooms' status is asked.
        double roomCheckDelaySeconds = 2.0;
        /// How long the own call status stays "calling" after the add.
        double callStatusSeconds = 5.0;
    };

    static std::shared_ptr<KLInvitationViewController> create(std::shared_ptr<KLPanelMeeting> meeting, Setup setup);
    ~KLInvitationViewController();

    void setView(std::shared_ptr<KLInvitationView> view);

    // --- The user (main thread) ---------------------------------------------------------
    /// The search field's text changed.
    void textChanged(const QString &text);
    /// Recent contacts, shown while the field is empty and nobody is chosen.
    void loadRecentContacts();
    /// Chooses a result (or any participant record): duplicates, members already in the
    /// meeting and a full meeting are refused as described in the class comment.
    void inviteMember(const KLParticipantPtr &candidate);
    void removeInvitee(int index);
    /// Sends the one add request for every chosen invitee and closes the page.
    void confirmAddPressed();

    // --- Reads -----------------------------------------------------------------------------
    QList<KLParticipantPtr> invitees() const { return m_invitees; }
    QList<KLParticipantPtr> results() const { return m_results; }
    QString resultsHeaderKey() const { return m_headerKey; }
    QString searchKeyword() const { return m_keyword; }
    bool resultsVisible() const { return m_resultsVisible; }
    /// "SELECTED_TIPS" with the count.
    QString countText() const;

    /// The room status check on its own: asks the status of those rooms that are in the
    /// meeting and neither being called nor online, and marks the busy ones.
    void findRoomStatus(const QStringList &roomIds);

    /// Same invitee: same member type and, by type, the same employee number (1), room id (2),
    /// or any one of e-mail, cell phone, extension non-empty on both sides and equal (3).
    static bool isSameInvitee(const KLParticipant &a, const KLParticipant &b);
    /// Participant records from a list of dictionaries; records that fail to parse are skipped.
    static QList<KLParticipantPtr> participantsFrom(const QJsonValue &list);

private:
    KLInvitationViewController(std::shared_ptr<KLPanelMeeting> meeting, Setup setup);
    void search(const QString &keyword);
    void setResults(const QString &headerKey, const QList<KLParticipantPtr> &results);
    void setResultsVisible(bool visible);
    void showInvitees();
    void askForExisting(const KLParticipantPtr &candidate, const KLHubFeedPtr &feed);
    void added(const QStringList &roomIds);
    void onMain(std::function<void(KLInvitationViewController &)> work);
    void withView(const std::function<void(KLInvitationView &)> &work);
    static bool roomNeedsCheck(const KLHubFeedPtr &feed);

    const std::shared_ptr<KLPanelMeeting> m_meeting;
    Setup m_setup;
    std::shared_ptr<KLInvitationView> m_view;
    QList<KLParticipantPtr> m_invitees;
    QList<KLParticipantPtr> m_results;
    QString m_keyword;
    QString m_headerKey;
    int m_searchOffset = 0;
    quint64 m_searchGeneration = 0;
    bool m_resultsVisible = false;
    std::shared_ptr<KLTimer> m_roomCheckTimer;
    std::shared_ptr<KLTimer> m_callStatusTimer;
};
