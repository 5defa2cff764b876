#pragma once

// What every benchmark program shares: a logger printer that drops every line, so that the
// numbers measure the work and not the console.

#include <KelvoUISDK/KLSDKLogger.h>

class KLDiscardingPrinter : public KLSDKLoggerProtocol {
public:
    void info(const QString &, const QString &) override {}
    void debug(const QString &, const QString &) override {}
    void warn(const QString &, const QString &) override {}
    void error(const QString &, const QString &) override {}
    void action(const QString &, const QVariant &, const QVariant &) override {}
    void event(const QString &, const QVariant &, const QVariant &) override {}
    void error(const QString &, const QVariant &, const QVariant &) override {}
};
