#pragma once

#include <QHostAddress>
#include <QJsonValue>
#include <QList>
#include <QString>

/// Facts about the machine and the host process, JSON and text helpers, and the few desktop
/// actions the meeting needs. Everything is a class-level operation and may be called from any
/// thread unless noted.
class KLHostUtils {
public:
    /// One IPv4 address of one network interface, in the order the system lists interfaces.
    struct InterfaceAddress {
        QHostAddress address;
        bool loopback = false;
    };

    /// The IPv4 address (dotted text) of the last interface in the system's interface list that
    /// has one. Loopback addresses count only when no other interface has an IPv4 address;
    /// "127.0.0.1" when there is none at all.
    static QString ipAddress();
    /// The same choice over a given list (what ipAddress() does with the system's list).
    static QString ipAddress(const QList<InterfaceAddress> &addresses);

    /// The host application's version (QCoreApplication::applicationVersion()).
    static QString appVersion();

    /// "Linux " and the distribution's name and version joined with one more blank, e.g.
    /// "Linux  Debian GNU/Linux 12 (bookworm)" (QSysInfo::prettyProductName(), which falls back
    /// to the kernel's name and version when the distribution does not say).
    static QString osVersion();

    /// The charge in percent of the first system battery (type "Battery", not a device's such as
    /// a wireless mouse's) under `<systemRoot>/sys/class/power_supply`, batteries taken in name
    /// order; 100 when there is no battery or its "capacity" cannot be read.
    static int systemBatteryLevel(const QString &systemRoot = QStringLiteral("/"));

    /// The hardware address of the primary network interface — the one the default IPv4 route
    /// goes through (`<systemRoot>/proc/net/route`, lowest metric first) — read from
    /// `<systemRoot>/sys/class/net/<interface>/address` and written "%02x:%02x:..." in lower case.
    /// An empty string when there is no default route or the interface has no hardware address.
    static QString wiFiInterface(const QString &systemRoot = QStringLiteral("/"));

    /// The object (a JSON object or array) as pretty-printed JSON with every blank and line feed
    /// removed, those inside string values too. Anything else is logged and gives a null string.
    static QString convertToJsonData(const QJsonValue &object);
    /// The object or array parsed from `jsonString`; undefined for no text, and undefined with a
    /// logged "json解析失败：<reason>" for text that is not a JSON object or array.
    static QJsonValue dictionaryWithJsonString(const QString &jsonString);
    /// Compact JSON text of an object or array; a null string for anything else and for an empty
    /// result.
    static QString objectToJson(const QJsonValue &object);

    /// True when nothing but blanks and line ends is left after trimming (an empty text too).
    static bool isWhiteSpaceString(const QString &text);
    /// True when the whole text is one or more ASCII digits ("0" included).
    static bool isPositiveInteger(const QString &text);
    /// True when any user-perceived character (grapheme cluster) of the text is an emoji, judged
    /// on its UTF-16 units c0, c1, ...: a surrogate pair first decides alone (code point within
    /// U+1D000..U+1F9C0); else a second unit U+D83C, U+20E3 (keycap) or U+FE0F (emoji style)
    /// decides; else a lone unit within U+2100..U+27FF, U+2B05..U+2B07, U+2934..U+2935 or
    /// U+3297..U+3299, or one of U+2B1B, U+2B1C, U+2B50, U+2B55, U+303D, U+3030, U+00A9, U+00AE.
    static bool isEmojiCharacter(const QString &text);

    /// Runs `/bin/sh -c command`, waits until it ends and returns its standard output as UTF-8.
    /// Blocks the caller for as long as the command runs: never call it on the main thread with a
    /// command that may take long. Standard input is closed at once; standard error is dropped.
    static QString runCommand(const QString &command);

    /// Ends an internal user's session: takes the application out of the desktop's dock (nothing
    /// to do on Linux), then posts "KLHostUtilsCloseAppNotify" on the main thread.
    static void closeApp();
    /// Removes the application labelled `label` from the dock's recent and pinned items, for
    /// staff only. Linux desktops keep no such list for us, so this only logs that.
    static void removeDockItem(const QString &label);
};
