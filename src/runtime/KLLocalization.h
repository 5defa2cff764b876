#pragma once

#include <QString>

/// The SDK's own string table, compiled into the library (Chinese and English), keyed by the
/// localisation keys. The SDK never installs a QTranslator, so it cannot clash with the host's.
class KLLocalization {
public:
    enum class Language { Chinese, English };

    /// The interface language: taken from the system locale until a host or test sets it.
    static Language language();
    static void setLanguage(Language language);
    /// The text for `key` in the current language; the key itself when the table has none.
    static QString localizedString(const QString &key);
    /// The key whose text in the current language is `text`; empty when none is. Where
    /// several keys share a text, the one this text was last looked up with is given (the
    /// alphabetically first when it was never looked up).
    static QString keyForText(const QString &text);
    /// True when the interface language is English ("Language" reads "english").
    static bool isEnglish();
};

/// Shorthand for KLLocalization::localizedString.
QString KLLocalizedString(const QString &key);
