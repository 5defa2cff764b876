#include "window/KLCallRoomViewController.h"

#include "conference/registry/KLFeedClient.h"
#include "runtime/KLNotificationCenter.h"
#include "runtime/KLNotificationNames.h"
#include "runtime/KLSDKLog.h"

#include <KelvoUISDK/KLSDKDispatch.h>

namespace {
const char *const kTag = "KLCallRoomViewController";

bool containsUuid(const QList<KLHubFeedPtr> &list, const QString &uuid)
{
    return std::any_of(list.cbegin(), list.cend(), [&](const KLHubFeedPtr &feed) { return feed->uuid() == uuid; });
}
} // namespace

std::shared_ptr<KLCallRoomViewController>
KLCallRoomViewController::create(std::shared_ptr<KLHubMeeting> meeting, std::function<QList<KLHubFeedPtr>()> rooms)
{
    std::shared_ptr<KLCallRoomViewController> dialog(new KLCallRoomViewController(std::move(meeting), std::move(rooms)));
    dialog->reload();
    dialog->observeNotifications();
    return dialog;
}

KLCallRoomViewController::KLCallRoomViewController(std::shared_ptr<KLHubMeeting> meeting,
                                                   std::function<QList<KLHubFeedPtr>()> rooms)
    : m_meeting(std::move(meeting)), m_roomSource(std::move(rooms))
{
}

KLCallRoomViewController::~KLCallRoomViewController()
{
    KLNotificationCenter::defaultCenter().removeObserver(this);
}

// Members coming and going change which rooms are offline; the list follows on the main thread.
void KLCallRoomViewController::observeNotifications()
{
    std::weak_ptr<KLCallRoomViewController> weak = weak_from_this();
    auto reloadLater = [weak](const KLNotification &) {
        KLPerformBlockOnMainThread([weak] {
            if (auto self = weak.lock(); self && !self->m_closed)
                self->reload();
        });
    };
    auto &center = KLNotificationCenter::defaultCenter();
    center.addObserver(this, KLNotificationNames::OnlineOfflineChangeNotification, reloadLater);
    center.addObserver(this, KLNotificationNames::MeetingMemberUpdate, reloadLater);
}

void KLCallRoomViewController::setView(std::shared_ptr<KLCallRoomView> view)
{
    m_view = std::move(view);
}

void KLCallRoomViewController::setClosedHandler(std::function<void()> closed)
{
    m_closedHandler = std::move(closed);
}

void KLCallRoomViewController::changed()
{
    if (m_view)
        m_view->reloadRooms();
    if (m_observer)
        m_observer();
}

void KLCallRoomViewController::reload()
{
    m_rooms = m_roomSource ? m_roomSource() : QList<KLHubFeedPtr>();
    changed();
}

bool KLCallRoomViewController::isSelected(const QString &uuid) const
{
    return containsUuid(m_selected, uuid);
}

QStringList KLCallRoomViewController::selectedUuids() const
{
    // Only rooms still listed count: a room that came online meanwhile is not dialled.
    QStringList uuids;
    for (const auto &room : m_rooms)
        if (isSelected(room->uuid()))
            uuids.append(room->uuid());
    return uuids;
}

bool KLCallRoomViewController::isAllSelected() const
{
    if (m_rooms.isEmpty())
        return false;
    return std::all_of(m_rooms.cbegin(), m_rooms.cend(), [this](const KLHubFeedPtr &room) { return isSelected(room->uuid()); });
}

QString KLCallRoomViewController::callButtonColor() const
{
    return QLatin1String(isCallEnabled() ? kActiveCallColor : kInactiveCallColor);
}

void KLCallRoomViewController::toggleRoom(const QString &uuid)
{
    if (isSelected(uuid)) {
        m_selected.removeIf([&](const KLHubFeedPtr &feed) { return feed->uuid() == uuid; });
    } else {
        for (const auto &room : m_rooms)
            if (room->uuid() == uuid)
                m_selected.append(room);
    }
    changed();
}

void KLCallRoomViewController::selectAllClicked()
{
    if (isAllSelected()) {
        m_selected.clear();
    } else {
        for (const auto &room : m_rooms)
            if (!isSelected(room->uuid()))
                m_selected.append(room);
    }
    changed();
}

void KLCallRoomViewController::callClicked()
{
    if (m_closed || !isCallEnabled())
        return;
    for (const auto &room : m_rooms)
        if (isSelected(room->uuid()))
            m_meeting->perform(room, KLHubFeedAction::MakeCall);
    KL_LOG_INFO(kTag, QStringLiteral("calling %1 rooms").arg(selectedUuids().size()));
    close();
}

bool KLCallRoomViewController::callRooms(const QStringList &uuids)
{
    m_selected.clear();
    for (const auto &room : m_rooms)
        if (uuids.contains(room->uuid()))
            m_selected.append(room);
    if (m_selected.isEmpty()) {
        KL_LOG_WARN(kTag, QStringLiteral("none of %1 is an offline room").arg(uuids.join(QLatin1Char(','))));
        changed();
        return false;
    }
    callClicked();
    return true;
}

void KLCallRoomViewController::dismiss()
{
    close();
}

void KLCallRoomViewController::close()
{
    if (m_closed)
        return;
    m_closed = true;
    KLNotificationCenter::defaultCenter().removeObserver(this);
    if (m_view)
        m_view->closeDialog();
    if (m_observer)
        m_observer();
    if (auto closed = std::move(m_closedHandler))
        closed();
}
