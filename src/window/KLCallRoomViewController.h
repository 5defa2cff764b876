#pragma once

// The call-rooms dialog's decisions, without widgets: the appointment's meeting rooms that are
// neither in the meeting nor being called, each with a check box, a select-all switch and the
// call button that dials every checked room and closes the dialog. The conference service asks
// for the dialog once the room is entered ("ShowCallRoomDialog"); the member list opens it.
//
// Threads: main thread only (the list is reloaded there when members change).

#include "window/KLHubMeeting.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

/// What the dialog's widgets show; every call arrives on the main thread.
class KLCallRoomView {
public:
    virtual ~KLCallRoomView() = default;
    /// The rooms, the check marks, select-all or the call button changed: draw them again.
    virtual void reloadRooms() = 0;
    /// The dialog is done (called or dismissed).
    virtual void closeDialog() = 0;
};

class KLCallRoomViewController final : public std::enable_shared_from_this<KLCallRoomViewController> {
public:
    /// The call button's colour while something is selected, and without a selection.
    static constexpr const char *kActiveCallColor = "#4990E6";
    static constexpr const char *kInactiveCallColor = "#B2D6FB";

    /// `rooms` lists the offline rooms now (the registry's `offlineRooms`); calls go through
    /// `meeting`.
    static std::shared_ptr<KLCallRoomViewController> create(std::shared_ptr<KLHubMeeting> meeting,
                                                            std::function<QList<KLHubFeedPtr>()> rooms);
    ~KLCallRoomViewController();
    KLCallRoomViewController(const KLCallRoomViewController &) = delete;
    KLCallRoomViewController &operator=(const KLCallRoomViewController &) = delete;

    void setView(std::shared_ptr<KLCallRoomView> view);
    /// Told when the dialog closes (the member list lets go of it).
    void setClosedHandler(std::function<void()> closed);
    /// Told whenever the rooms, the selection or the open state changed (a host drawing the
    /// window itself listens here).
    void setObserver(std::function<void()> changed) { m_observer = std::move(changed); }

    /// Reads the offline rooms again; selected rooms that left the list stay selected only
    /// while a room with their uuid is still listed.
    void reload();

    // --- Clicks ------------------------------------------------------------------------
    void toggleRoom(const QString &uuid);
    /// Clears the selection when every listed room is selected, else selects every room.
    void selectAllClicked();
    /// Calls every selected room and closes; with nothing selected nothing happens.
    void callClicked();
    /// Closes without calling.
    void dismiss();
    /// Selects exactly the listed rooms among `uuids` (a host's choice), then calls them.
    /// False when none of them is listed.
    bool callRooms(const QStringList &uuids);

    // --- Reads -------------------------------------------------------------------------
    QList<KLHubFeedPtr> rooms() const { return m_rooms; }
    bool isSelected(const QString &uuid) const;
    QStringList selectedUuids() const;
    /// Select-all shows as on: the list is not empty and every room is selected.
    bool isAllSelected() const;
    bool isCallEnabled() const { return !selectedUuids().isEmpty(); }
    QString callButtonColor() const;
    bool isClosed() const { return m_closed; }

private:
    KLCallRoomViewController(std::shared_ptr<KLHubMeeting> meeting, std::function<QList<KLHubFeedPtr>()> rooms);
    void observeNotifications();
    void changed();
    void close();

    const std::shared_ptr<KLHubMeeting> m_meeting;
    const std::function<QList<KLHubFeedPtr>()> m_roomSource;
    std::shared_ptr<KLCallRoomView> m_view;
    std::function<void()> m_closedHandler;
    std::function<void()> m_observer;
    QList<KLHubFeedPtr> m_rooms;
    QList<KLHubFeedPtr> m_selected;
    bool m_closed = false;
};
