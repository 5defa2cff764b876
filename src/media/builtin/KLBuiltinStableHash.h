#pragma once

#include <QString>

/// A 32-bit FNV-1a hash of the text's UTF-16 units. Unlike qHash, which Qt seeds afresh in
/// every process, it gives a member the same colours and the same SSRCs in every run.
inline quint32 KLBuiltinStableHash(const QString &text)
{
    quint32 hash = 2166136261u;
    for (const QChar unit : text) {
        hash ^= unit.unicode();
        hash *= 16777619u;
    }
    return hash;
}
