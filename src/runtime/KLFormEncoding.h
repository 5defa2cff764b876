#pragma once

// Form encoding of parameter sets, and the plain text of a parameter value that request
// signatures cover. Parameter sets are JSON objects whose values are strings, numbers,
// lists or maps.

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace KLFormEncoding {

/// Percent-encodes every byte of the UTF-8 text except the unreserved characters
/// A-Z a-z 0-9 "-" "." "_" "~" — so "+", "&", "=", "/", "?", brackets and blanks are all
/// escaped and a server can never read a "+" as a blank.
QString percentEscaped(const QString &text);

/// The value's plain text, as signatures take it: a string as it is; an integral number as
/// its decimal text, another number in the shortest exact form; true/false as "1"/"0"; a list
/// as "(" its elements' texts joined with "," ")"; a map as "{" "key=text" pairs sorted by key
/// joined with ";" "}"; null as "".
QString describe(const QJsonValue &value);

/// "application/x-www-form-urlencoded" text: pairs joined with "&", sorted by key; a list as
/// repeated "key[]" entries, a map as "key[sub]" entries (nesting as deep as the value).
QByteArray encode(const QJsonObject &parameters);

} // namespace KLFormEncoding
