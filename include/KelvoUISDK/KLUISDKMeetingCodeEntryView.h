#pragma once

/// @file
/// The meeting-code entry: a page a host can show before any meeting exists.

#include <KelvoUISDK/KelvoUISDKExport.h>

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

/// A page where the user types a display name and a six-digit meeting code or a meeting link.
/// Joining checks both; a valid link gives the meeting's UUID, which is handed to the enter
/// handler, and the host then creates the meeting with KLUISDKMeetingMainWindow. The page never
/// joins a meeting itself; a valid six-digit code takes no further step. A name that passes the
/// checks is remembered for the next time.
///
/// Create, use and destroy it on the main thread of a QApplication. It is an ordinary widget:
/// its parent (or the host, for a top-level page) owns it.
class KELVOUISDK_EXPORT KLUISDKMeetingCodeEntryView : public QWidget {
public:
    /// Builds the page; the name field starts with the remembered display name.
    explicit KLUISDKMeetingCodeEntryView(QWidget *parent = nullptr);
    /// Destroys the page and its fields.
    ~KLUISDKMeetingCodeEntryView() override;

    /// Called with the meeting's UUID when a valid meeting link is joined (main thread).
    void setEnterMeetingHandler(std::function<void(const QString &meetingId)> handler);
    /// The host requires a newer client: joining shows the download description and a button
    /// opening `downloadUrl` instead of checking anything.
    void setShouldUpdate(bool shouldUpdate, const QString &downloadUrl = QString());

    /// Types `name` into the name field, as the user would.
    void setDisplayName(const QString &name);
    /// Types a meeting code or link into the code field, as the user would.
    void setMeetingCode(const QString &codeOrLink);
    /// The name field's text.
    QString displayName() const;
    /// The code field's text.
    QString meetingCode() const;

    /// Presses the join button: nothing while a field is empty.
    void join();
    /// The join button is active (both fields filled).
    bool isJoinEnabled() const;
    /// The localised error shown under the name field; empty when none is shown.
    QString nameError() const;
    /// The localised error shown under the code field; empty when none is shown.
    QString codeError() const;
    /// The download description and button are shown.
    bool isDownloadShown() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
