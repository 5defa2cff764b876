#include "window/KLMeetingPanelActions.h"

#include "conference/devices/KLDeviceManager.h"
#include "model/KLParticipant.h"
#include "runtime/KLSDKLog.h"
#include "window/KLInvitationViewController.h"
#include "window/KLMeetingInfoViewController.h"
#include "window/KLMeetingSettingsViewController.h"

#include <mutex>

namespace {
const char *const kTag = "KLMeetingPanelActions";

std::mutex g_clipboardMutex;
std::function<void(const QString &)> g_clipboardWriter;

std::optional<bool> flag(const QString &value)
{
    if (value == QLatin1String("true") || value == QLatin1String("1"))
        return true;
    if (value == QLatin1String("false") || value == QLatin1String("0"))
        return false;
    return std::nullopt;
}
} // namespace

// The invitation page's view for a host: results go to the callback, the rest is not drawn.
class KLMeetingPanelActions::SearchView final : public KLInvitationView {
public:
    explicit SearchView(std::function<void(const QList<KLParticipantPtr> &)> results) : m_results(std::move(results)) {}
    void showResults(const QString &, const QList<KLParticipantPtr> &results) override
    {
        shown = results;
        if (m_results)
            m_results(results);
    }
    void setResultsVisible(bool) override {}
    void setClearButtonVisible(bool) override {}
    void setInvitees(const QList<KLParticipantPtr> &, const QString &) override {}
    void closePage() override {}
    QList<KLParticipantPtr> shown;

private:
    std::function<void(const QList<KLParticipantPtr> &)> m_results;
};

KLMeetingPanelActions::KLMeetingPanelActions(std::shared_ptr<KLPanelMeeting> meeting,
                                             std::shared_ptr<KLUISDKGuiConfigInternal> guiConfig, Callbacks callbacks)
    : m_meeting(std::move(meeting)), m_guiConfig(std::move(guiConfig)), m_callbacks(std::move(callbacks))
{
}

KLMeetingPanelActions::~KLMeetingPanelActions()
{
    if (m_invitation)
        m_invitation->setView(nullptr);
}

void KLMeetingPanelActions::setClipboardWriter(std::function<void(const QString &)> writer)
{
    std::lock_guard lock(g_clipboardMutex);
    g_clipboardWriter = std::move(writer);
}

QString KLMeetingPanelActions::idFor(const KLParticipant &p)
{
    switch (p.memberType.toInteger()) {
    case KLInvitationViewController::kEmployee:
        if (!p.empId.isEmpty())
            return p.empId;
        break;
    case KLInvitationViewController::kRoom:
        if (!p.roomId.isEmpty())
            return p.roomId;
        break;
    default:
        break;
    }
    for (const QString &value : {p.email, p.cellPhone, p.extensionPhone, p.empId, p.memberUUID})
        if (!value.isEmpty())
            return value;
    return {};
}

void KLMeetingPanelActions::search(const QString &keyword)
{
    if (!m_invitation) {
        KLInvitationViewController::Setup setup;
        m_invitation = KLInvitationViewController::create(m_meeting, std::move(setup));
        m_view = std::make_shared<SearchView>([this](const QList<KLParticipantPtr> &results) {
            QList<Result> reported;
            for (const auto &p : results)
                reported.append({idFor(*p), p->displayName().isEmpty() ? p->roomName : p->displayName(),
                                 int(p->memberType.toInteger()), p->deptName.isEmpty() ? p->email : p->deptName});
            if (m_callbacks.searchResults)
                m_callbacks.searchResults(reported);
        });
        m_invitation->setView(m_view);
    }
    if (keyword.trimmed().isEmpty())
        m_invitation->loadRecentContacts();
    else
        m_invitation->textChanged(keyword);
}

bool KLMeetingPanelActions::invite(const QStringList &ids)
{
    if (!m_invitation || ids.isEmpty()) {
        KL_LOG_WARN(kTag, QStringLiteral("invite needs ids from a search"));
        return false;
    }
    QList<KLParticipantPtr> chosen;
    for (const QString &id : ids) {
        const auto found = std::find_if(m_view->shown.cbegin(), m_view->shown.cend(),
                                        [&](const KLParticipantPtr &p) { return idFor(*p) == id; });
        if (found == m_view->shown.cend()) {
            KL_LOG_WARN(kTag, QStringLiteral("%1 is not among the last search results").arg(id));
            return false;
        }
        chosen.append(*found);
    }
    for (const auto &participant : std::as_const(chosen))
        m_invitation->inviteMember(participant);
    m_invitation->confirmAddPressed();
    // The page starts afresh, as a reopened one would.
    m_invitation->setView(nullptr);
    m_invitation.reset();
    m_view.reset();
    return true;
}

bool KLMeetingPanelActions::copy(const QString &what)
{
    using Copy = KLMeetingInfoViewController::Copy;
    const std::optional<Copy> kind = what == QLatin1String("share")      ? std::optional(Copy::Share)
                                   : what == QLatin1String("password") ? std::optional(Copy::Password)
                                   : what == QLatin1String("link")     ? std::optional(Copy::Link)
                                                                       : std::nullopt;
    if (!kind)
        return false;
    KLMeetingInfoViewController::Setup setup;
    setup.writeClipboard = [](const QString &text) {
        std::function<void(const QString &)> writer;
        {
            std::lock_guard lock(g_clipboardMutex);
            writer = g_clipboardWriter;
        }
        if (writer)
            writer(text);
    };
    KLMeetingInfoViewController info(m_meeting, m_guiConfig, std::move(setup));
    const QString text = info.copy(*kind);
    if (m_callbacks.copied)
        m_callbacks.copied(text);
    return true;
}

bool KLMeetingPanelActions::setting(const QString &name, const QString &value)
{
    if (!m_settings) {
        KLMeetingSettingsViewController::Setup setup;
        m_settings = KLMeetingSettingsViewController::create(m_meeting, std::move(setup));
    }
    const KLMeetingSettingsState state = m_settings->state();
    const std::pair<const char *, int> devices[] = {{"camera", 1}, {"speaker", 2}, {"microphone", 3}};
    for (const auto &[deviceName, type] : devices) {
        if (name != QLatin1String(deviceName))
            continue;
        if (!m_devices)
            m_devices = KLDeviceSettingsController::create(KLDeviceManager::sharedInstance());
        return m_devices->chooseDeviceNamed(type, value);
    }
    if (name == QLatin1String("cellPhone")) {
        if (!state.cellPhoneEnabled)
            return false;
        m_settings->callCellPhone();
        return true;
    }
    const auto wanted = flag(value);
    if (!wanted)
        return false;
    if (name == QLatin1String("enterAudioMuted")) {
        if (state.enterAudioMuted != *wanted)
            m_settings->toggleEnterAudioMuted();
    } else if (name == QLatin1String("enterVideoMuted")) {
        if (state.enterVideoMuted != *wanted)
            m_settings->toggleEnterVideoMuted();
    } else if (name == QLatin1String("beauty")) {
        if (state.beauty != *wanted)
            m_settings->toggleBeauty();
    } else {
        return false;
    }
    return true;
}
