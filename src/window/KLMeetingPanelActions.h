#pragma once

// The invitation, meeting information and settings for a host that draws the window itself or
// drives the drawn one: searching the directory, inviting results by id (with the invitation's
// own dialogs), the three copies and the settings popover's and device window's choices. Each
// runs the same controller the widgets use; what comes back (search results, the text copied)
// goes to the callbacks.
//
// Threads: main thread.

#include "window/KLPanelMeeting.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class KLDeviceSettingsController;
class KLInvitationViewController;
class KLMeetingSettingsViewController;
class KLUISDKGuiConfigInternal;

class KLMeetingPanelActions {
public:
    /// One search result as a host sees it; `id` is what `invite` takes.
    struct Result {
        QString id;
        QString name;
        int memberType = 0;
        QString detail;
    };
    struct Callbacks {
        std::function<void(const QList<Result> &)> searchResults;
        std::function<void(const QString &text)> copied;
    };

    KLMeetingPanelActions(std::shared_ptr<KLPanelMeeting> meeting, std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig,
                          Callbacks callbacks);
    ~KLMeetingPanelActions();

    /// Searches the directory; the results come through `searchResults` (an empty keyword
    /// lists the recent contacts).
    void search(const QString &keyword);
    /// Chooses the results of the last search with these ids and sends the one add request.
    /// False when an id is not among the last results (nothing is sent then).
    bool invite(const QStringList &ids);
    /// "share", "password" or "link": writes the text to the clipboard (when the drawn window
    /// installed one) and reports it. False for another name.
    bool copy(const QString &what);
    /// A settings choice: "enterAudioMuted", "enterVideoMuted", "beauty" with "true"/"false";
    /// "cellPhone" (calls the user's phone); "camera", "microphone", "speaker" with a device id
    /// or name. False for an unknown name, value or device.
    bool setting(const QString &name, const QString &value);

    /// The stable id of a directory record: employee number, room id, else e-mail or a phone.
    static QString idFor(const KLParticipant &participant);
    /// Where copies go besides the report: the drawn window's system clipboard.
    static void setClipboardWriter(std::function<void(const QString &)> writer);

private:
    class SearchView;

    const std::shared_ptr<KLPanelMeeting> m_meeting;
    const std::shared_ptr<KLUISDKGuiConfigInternal> m_guiConfig;
    Callbacks m_callbacks;
    std::shared_ptr<KLInvitationViewController> m_invitation;
    std::shared_ptr<SearchView> m_view;
    std::shared_ptr<KLMeetingSettingsViewController> m_settings;
    std::shared_ptr<KLDeviceSettingsController> m_devices;
};
