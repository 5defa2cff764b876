#include "HostOptions.h"

#include <KelvoUISDK/KLUISDKMeetingConfigKeys.h>

#include <functional>
#include <map>

namespace kelvohost {

namespace {

struct Parser {
    const QStringList &arguments;
    qsizetype index = 0;
    HostOptions options;
    QString error;

    bool fail(const QString &why)
    {
        error = why;
        return false;
    }

    // The value of "--name=value" or of "--name value".
    std::optional<QString> value(const QString &name, const std::optional<QString> &inlineValue)
    {
        if (inlineValue)
            return inlineValue;
        if (index + 1 >= arguments.size()) {
            fail(QStringLiteral("%1 needs a value").arg(name));
            return std::nullopt;
        }
        return arguments.at(++index);
    }

    bool keyValue(const QString &name, const QString &text, std::pair<QString, QString> *out)
    {
        const qsizetype equals = text.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return fail(QStringLiteral("%1 takes KEY=VALUE, got \"%2\"").arg(name, text));
        *out = {text.left(equals), text.mid(equals + 1)};
        return true;
    }

    static std::optional<bool> flag(const QString &text)
    {
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return false;
        return std::nullopt;
    }

    // Dictionary values given on the command line: numbers and true/false become what a host
    // would put in the dictionary, anything else stays text.
    static QVariant typedValue(const QString &text)
    {
        if (const auto asFlag = flag(text); asFlag && !text.at(0).isDigit())
            return *asFlag;
        bool isNumber = false;
        const qlonglong number = text.toLongLong(&isNumber);
        return isNumber ? QVariant(number) : QVariant(text);
    }

    bool parseOne()
    {
        QString argument = arguments.at(index);
        std::optional<QString> inlineValue;
        if (const qsizetype equals = argument.indexOf(QLatin1Char('=')); argument.startsWith(QLatin1String("--")) && equals > 0) {
            inlineValue = argument.mid(equals + 1);
            argument = argument.left(equals);
        }
        static const std::map<QString, const char *> stringOptions = {
            {QStringLiteral("--meeting-uuid"), KLSDKMeetingConfigMeetingUUID},
            {QStringLiteral("--member-uuid"), KLSDKMeetingConfigMemberUUID},
            {QStringLiteral("--user-id"), KLSDKMeetingConfigUserId},
            {QStringLiteral("--token"), KLSDKMeetingConfigMeetingToken},
            {QStringLiteral("--domain"), KLSDKMeetingConfigMeetingDomain},
            {QStringLiteral("--ca-file"), KLSDKMeetingConfigCaFile},
        };
        static const std::map<QString, const char *> flagOptions = {
            {QStringLiteral("--internal"), KLSDKMeetingConfigVanInternal},
            {QStringLiteral("--mute-audio"), KLSDKMeetingConfigMuteAudio},
            {QStringLiteral("--mute-video"), KLSDKMeetingConfigMuteVideo},
            {QStringLiteral("--audio-only"), KLSDKMeetingConfigAudioOnly},
        };
        if (const auto it = stringOptions.find(argument); it != stringOptions.end()) {
            const auto text = value(argument, inlineValue);
            if (text)
                options.meeting.insert(QLatin1String(it->second), *text);
            return text.has_value();
        }
        if (const auto it = flagOptions.find(argument); it != flagOptions.end()) {
            const auto on = inlineValue ? flag(*inlineValue) : std::optional<bool>(true);
            if (!on)
                return fail(QStringLiteral("%1 takes true or false").arg(argument));
            options.meeting.insert(QLatin1String(it->second), *on);
            return true;
        }
        if (argument == QLatin1String("--allow-no-mic")) {
            const auto text = value(argument, inlineValue);
            const auto on = text ? flag(*text) : std::nullopt;
            if (!on)
                return fail(QStringLiteral("--allow-no-mic takes true or false"));
            options.meeting.insert(QLatin1String(KLSDKMeetingConfigAllowNoMic), *on);
            return true;
        }
        if (argument == QLatin1String("--meeting") || argument == QLatin1String("--gui")
            || argument == QLatin1String("--store")) {
            const auto text = value(argument, inlineValue);
            std::pair<QString, QString> entry;
            if (!text || !keyValue(argument, *text, &entry))
                return false;
            if (argument == QLatin1String("--store"))
                options.store.push_back(entry);
            else
                (argument == QLatin1String("--gui") ? options.gui : options.meeting)
                    .insert(entry.first, typedValue(entry.second));
            return true;
        }
        if (argument == QLatin1String("--language")) {
            const auto text = value(argument, inlineValue);
            if (!text || (*text != QLatin1String("en") && *text != QLatin1String("zh")))
                return fail(QStringLiteral("--language takes en or zh"));
            options.language = *text;
            return true;
        }
        if (argument == QLatin1String("--events") || argument == QLatin1String("--control")) {
            const auto text = value(argument, inlineValue);
            if (text)
                (argument == QLatin1String("--events") ? options.eventsPath : options.controlPath) = *text;
            return text.has_value();
        }
        if (argument == QLatin1String("--sim")) {
            options.useSimulator = true;
            // The scenario is optional: the next argument is it unless it is an option.
            if (inlineValue)
                options.simScenario = *inlineValue;
            else if (index + 1 < arguments.size() && !arguments.at(index + 1).startsWith(QLatin1String("--")))
                options.simScenario = arguments.at(++index);
            return true;
        }
        if (argument == QLatin1String("--projector")) {
            const auto text = value(argument, inlineValue);
            if (!text || (*text != QLatin1String("sender") && *text != QLatin1String("receiver")))
                return fail(QStringLiteral("--projector takes sender or receiver"));
            options.projector = *text;
            return true;
        }
        if (argument == QLatin1String("--project-id")) {
            const auto text = value(argument, inlineValue);
            if (text)
                options.projectId = *text;
            return text.has_value();
        }
        if (argument == QLatin1String("--with-audio") && !inlineValue) {
            options.withAudio = true;
            return true;
        }
        if (argument == QLatin1String("--headless") && !inlineValue) {
            options.headless = true;
            return true;
        }
        if ((argument == QLatin1String("--help") || argument == QLatin1String("-h")) && !inlineValue) {
            options.help = true;
            return true;
        }
        return fail(QStringLiteral("unknown option \"%1\"").arg(arguments.at(index)));
    }
};

} // namespace

std::optional<HostOptions> parseHostOptions(const QStringList &arguments, QString *error)
{
    Parser parser{arguments, 0, {}, {}};
    for (; parser.index < arguments.size(); ++parser.index) {
        if (!parser.parseOne()) {
            if (error)
                *error = parser.error;
            return std::nullopt;
        }
    }
    return parser.options;
}

QString hostUsage()
{
    return QStringLiteral(
        "Usage: kelvo-host [options]\n"
        "Joins a meeting with KelvoUISDK the way a host application does.\n\n"
        "Credentials and start options (the meeting dictionary):\n"
        "  --meeting-uuid UUID      the meeting to join\n"
        "  --member-uuid UUID       this member's UUID (or --user-id)\n"
        "  --user-id ID             the host's user id\n"
        "  --token TOKEN            the meeting token\n"
        "  --domain DOMAIN          the meeting service's domain\n"
        "  --internal               the user is internal staff\n"
        "  --mute-audio, --mute-video, --audio-only\n"
        "  --allow-no-mic=true|false\n"
        "  --ca-file PEM            extra certificate authorities to trust\n"
        "  --meeting KEY=VALUE      any meeting dictionary key (repeatable)\n"
        "  --gui KEY=VALUE          any display dictionary key (repeatable)\n"
        "  --store KEY=VALUE        written to the user store before the join (repeatable)\n"
        "  --language en|zh         the interface language\n\n"
        "Running:\n"
        "  --headless               no window: dialogs, toasts and notices only as events\n"
        "  --events PATH|-          JSON event lines to PATH or stdout (default: readable lines)\n"
        "  --control PATH|-         JSON command lines from PATH or stdin\n"
        "  --sim [SCENARIO]         start the local meeting service in-process and join its\n"
        "                           meeting (SCENARIO: a JSON file, or \"demo\")\n"
        "  --projector sender|receiver  a multi-projector session in the meeting instead of\n"
        "                           the meeting itself (with --project-id ID, --with-audio)\n"
        "  --help\n");
}

} // namespace kelvohost
