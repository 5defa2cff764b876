#include "runtime/KLLocalization.h"

#include "runtime/KLSDKLog.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <atomic>
#include <mutex>

// The table is compiled into the core's static archive. Referring to it by name keeps the
// linker from dropping it from programs that link the archive rather than the SDK library.
static void initStringTableResource()
{
    Q_INIT_RESOURCE(strings);
}
[[maybe_unused]] static const bool kStringTableRegistered = (initStringTableResource(), true);

namespace {

QHash<QString, QString> loadTable(const QString &resource)
{
    QFile file(resource);
    QHash<QString, QString> table;
    if (!file.open(QIODevice::ReadOnly)) {
        KL_LOG_ERROR("KLLocalization", QStringLiteral("string table missing: %1").arg(resource));
        return table;
    }
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        table.insert(it.key(), it.value().toString());
    return table;
}

// Loaded once, read-only afterwards: safe to read from any thread.
const QHash<QString, QString> &table(KLLocalization::Language language)
{
    static const QHash<QString, QString> chinese = loadTable(QStringLiteral(":/kelvouisdk/strings/zh.json"));
    static const QHash<QString, QString> english = loadTable(QStringLiteral(":/kelvouisdk/strings/en.json"));
    return language == KLLocalization::Language::English ? english : chinese;
}

QHash<QString, QString> reversed(const QHash<QString, QString> &forward)
{
    QHash<QString, QString> keys;
    for (auto it = forward.constBegin(); it != forward.constEnd(); ++it) {
        auto existing = keys.find(it.value());
        if (existing == keys.end())
            keys.insert(it.value(), it.key());
        else if (it.key() < existing.value())
            existing.value() = it.key();
    }
    return keys;
}

const QHash<QString, QString> &keysByText(KLLocalization::Language language)
{
    static const QHash<QString, QString> chinese = reversed(table(KLLocalization::Language::Chinese));
    static const QHash<QString, QString> english = reversed(table(KLLocalization::Language::English));
    return language == KLLocalization::Language::English ? english : chinese;
}

KLLocalization::Language systemLanguage()
{
    return QLocale().language() == QLocale::Chinese ? KLLocalization::Language::Chinese
                                                    : KLLocalization::Language::English;
}

std::atomic<KLLocalization::Language> &languageSlot()
{
    static std::atomic<KLLocalization::Language> slot{systemLanguage()};
    return slot;
}

} // namespace

KLLocalization::Language KLLocalization::language()
{
    return languageSlot().load();
}

void KLLocalization::setLanguage(Language language)
{
    languageSlot().store(language);
}

namespace {

// The key each text was last produced from. Several keys share a text ("Got it", "OK"); the
// one a dialog was just built with is the one to report for it.
struct RecentKeys {
    std::mutex mutex;
    QHash<QString, QString> keyByText;
};

RecentKeys &recentKeys()
{
    static RecentKeys recent;
    return recent;
}

} // namespace

QString KLLocalization::localizedString(const QString &key)
{
    const auto &strings = table(language());
    const auto found = strings.constFind(key);
    if (found == strings.constEnd())
        return key;
    RecentKeys &recent = recentKeys();
    std::lock_guard lock(recent.mutex);
    recent.keyByText.insert(found.value(), key);
    return found.value();
}

QString KLLocalization::keyForText(const QString &text)
{
    if (text.isEmpty())
        return {};
    {
        RecentKeys &recent = recentKeys();
        std::lock_guard lock(recent.mutex);
        const auto found = recent.keyByText.constFind(text);
        if (found != recent.keyByText.constEnd() && table(language()).value(found.value()) == text)
            return found.value();
    }
    return keysByText(language()).value(text);
}

bool KLLocalization::isEnglish()
{
    return localizedString(QStringLiteral("Language")) == QLatin1String("english");
}

QString KLLocalizedString(const QString &key)
{
    return KLLocalization::localizedString(key);
}
