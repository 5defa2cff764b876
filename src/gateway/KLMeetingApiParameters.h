#pragma once

// The final parameter set of a meeting-API request: the operation's own parameters plus the
// common and authentication fields the meeting service expects.

#include <QJsonObject>
#include <QString>

/// Who is asking: read from the persistent user data, the staff flag and the host's version.
struct KLApiIdentity {
    QString workId;       ///< normalised work id, "0" when none is stored
    QString accessToken;  ///< empty when none is stored
    QString machineId;    ///< empty when none is stored
    QString appVersion;   ///< "v<short version> (<build>)"
    bool staff = false;

    /// The identity as stored right now.
    static KLApiIdentity current();
};

namespace KLMeetingApiParameters {

/// The application salt of "authSign".
inline constexpr const char *kAppSalt = "5e2d94a1-7c3b-11e8-9f4a-0a1b2c3d4e5f";

/// "{"timeStamp":"<seconds>","appVer":"<version>"}" exactly as the service checks it.
QString authContent(qint64 epochSeconds, const QString &appVersion);
/// Lower-case hexadecimal MD5 of the content followed by the application salt.
QString authSign(const QString &authContent);

/// The set that goes on the wire for `path`. Add-member paths carry the JSON text of the
/// parameters under "data" and no authentication fields; every other path carries its own
/// parameters, "appcode"/"clientid", the authentication fields and the access token.
QJsonObject finalParameters(const QJsonObject &own, const QString &path,
                            const KLApiIdentity &identity, qint64 epochSeconds);

} // namespace KLMeetingApiParameters
