#include "runtime/KLLocalization.h"

#include "runtime/KLSDKLog.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSet>

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

// The table read backwards: each text's key (the alphabetically first where several keys
// share a text) and the texts that are shared.
struct TextIndex {
    QHash<QString, QString> keyByText;
    QSet<QString> sharedTexts;
};

TextIndex indexed(const QHash<QString, QString> &forward)
{
    TextIndex index;
    for (auto it = forward.constBegin(); it != forward.constEnd(); ++it) {
        auto existing = index.keyByText.find(it.value());
        if (existing == index.keyByText.end()) {
            index.keyByText.insert(it.value(), it.key());
            continue;
        }
        index.sharedTexts.insert(it.value());
        if (it.key() < existing.value())
            existing.value() = it.key();
    }
    return index;
}

const TextIndex &textIndex(KLLocalization::Language language)
{
    static const TextIndex chinese = indexed(table(KLLocalization::Language::Chinese));
    static const TextIndex english = indexed(table(KLLocalization::Language::English));
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

// The key a shared text ("Got it", "OK") was last produced from: the one a dialog was just
// built with is the one to report for it. Texts with a single key need no record.
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
    const Language current = language();
    const auto &strings = table(current);
    const auto found = strings.constFind(key);
    if (found == strings.constEnd())
        return key;
    if (!textIndex(current).sharedTexts.contains(found.value()))
        return found.value();
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
    return textIndex(language()).keyByText.value(text);
}

bool KLLocalization::isEnglish()
{
    return localizedString(QStringLiteral("Language")) == QLatin1String("english");
}

QString KLLocalizedString(const QString &key)
{
    return KLLocalization::localizedString(key);
}
