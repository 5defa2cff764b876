#pragma once

// kelvo-host's control input: one JSON command per line, each acting on the meeting as the
// user would. Lines are read on a thread of their own (stdin, a FIFO or a file) and carried
// out on the main thread; a line that is not a known, well-formed command is answered with a
// "commandError" event and changes nothing.

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

class KLUISDKMeetingMainWindow;

namespace kelvohost {

class HostEventSink;

class HostControl : public QObject {
public:
    HostControl(KLUISDKMeetingMainWindow &meeting, HostEventSink &sink);
    ~HostControl() override;

    /// Starts reading `path` ("-" for stdin); false with the reason when it cannot be opened.
    bool start(const QString &path, QString *error);

    /// Carries out one line (main thread).
    void execute(const QByteArray &line);

private:
    struct Reader;
    void commandError(const QByteArray &line, const QString &reason);
    QString run(const QJsonObject &command);
    std::optional<QString> runPanelCommand(const QString &name, const QJsonObject &command);

    KLUISDKMeetingMainWindow &m_meeting;
    HostEventSink &m_sink;
    std::shared_ptr<Reader> m_reader;
};

} // namespace kelvohost
