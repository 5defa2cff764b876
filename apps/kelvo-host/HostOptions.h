#pragma once

// kelvo-host's command line: what the user asked for, and the two dictionaries built from it.

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>
#include <utility>
#include <vector>

namespace kelvohost {

struct HostOptions {
    QVariantMap meeting;  ///< the meeting dictionary (credentials and start options)
    QVariantMap gui;      ///< the display dictionary
    std::vector<std::pair<QString, QString>> store;  ///< written to the user store before the join
    QString language;     ///< "en", "zh" or empty (the system's)
    bool headless = false;
    QString eventsPath;   ///< "-" for stdout; empty: readable lines on stdout
    QString controlPath;  ///< "-" for stdin; empty: no control input
    bool useSimulator = false;
    QString simScenario;  ///< empty: the built-in scenario; "demo" or a JSON file
    bool help = false;
    QString projector;    ///< "sender" or "receiver": a multi-projector session instead of a meeting
    QString projectId;    ///< the sender's project id
    bool withAudio = false; ///< the sender asks for the accompanying audio meeting
};

/// Parses the arguments after the program name; nothing and the reason when they are wrong.
std::optional<HostOptions> parseHostOptions(const QStringList &arguments, QString *error);

/// The text of --help.
QString hostUsage();

} // namespace kelvohost
