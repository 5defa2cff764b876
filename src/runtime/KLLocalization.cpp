#include "runtime/KLLocalization.h"

#include "runtime/KLSDKLog.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <atomic>

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

QString KLLocalization::localizedString(const QString &key)
{
    return table(language()).value(key, key);
}

QString KLLocalization::keyForText(const QString &text)
{
    return text.isEmpty() ? QString() : keysByText(language()).value(text);
}

bool KLLocalization::isEnglish()
{
    return localizedString(QStringLiteral("Language")) == QLatin1String("english");
}

QString KLLocalizedString(const QString &key)
{
    return KLLocalization::localizedString(key);
}
