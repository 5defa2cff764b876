#pragma once

// "application/x-www-form-urlencoded" bodies as the meeting API receives them, and the
// parameter text that request signatures cover.
//
// Decoding: pairs joined by "&", key and value percent-decoded, "+" read as a blank (clients
// escape a literal "+" as %2B). Structure is rebuilt from the keys: "k[]=v" entries form a list,
// "k[sub]=v" a map, "k[][sub]=v" a list of maps (a new element starts when a sub-key repeats),
// nesting as deep as the brackets go. A plain key given twice keeps its last value.
//
// Parameter text: the base keys (without brackets) sorted ascending ignoring case (ties in
// plain order), each "key=<text>", joined with "&", where the text of a string is the string,
// of a list "(" elements' texts joined with "," ")", of a map "{" "k=text" pairs with the keys
// in plain sorted order joined with ";" "}".

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>

namespace kelvosim {

using SimFormPairs = QList<QPair<QString, QString>>;

/// The decoded pairs in body order.
SimFormPairs decodeForm(const QByteArray &body);

/// Base key -> string, list (QJsonArray) or map (QJsonObject), rebuilt from the pair keys.
QJsonObject structureForm(const SimFormPairs &pairs);

/// Plain text of one value, as signatures take it.
QString describeValue(const QJsonValue &value);

/// The signed parameter text of a structured form.
QString parameterText(const QJsonObject &form);

/// Ascending, ignoring case; equal-ignoring-case keys in plain order.
bool parameterKeyLess(const QString &a, const QString &b);

} // namespace kelvosim
