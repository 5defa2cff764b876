#pragma once

#include "platform/KLPlatform.h"

#include <QVariantList>

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

/// A platform whose every answer a test sets, and which records every call made to it.
/// Install it with KLPlatform::install(). Thread-safe; access answers arrive on the main
/// thread like the real platform's.
class KLFakePlatform : public KLPlatform {
public:
    struct Call {
        QString name; // the operation's name, e.g. "preventDisplaySleep"
        QVariantList arguments;
    };

    // --- What the test sets ---
    void setOsVersion(std::optional<KLOSVersion> version);
    void setAuthorizationStatus(KLMediaType type, int status);
    /// How requestAccessForMediaType answers: granted or not at once (on the main thread), or,
    /// with nothing, never (a prompt the user leaves open).
    void setAccessAnswer(KLMediaType type, std::optional<bool> granted);
    void setHasVideoCaptureDevice(bool present);
    void setCanRecordScreen(bool allowed);
    void setRecordScreenFromCreateStream(bool allowed);

    // --- What the test reads ---
    std::vector<Call> calls() const;
    void clearCalls();
    /// Handles given out and not yet given back.
    std::set<KLDisplaySleepHandle> heldDisplaySleepHandles() const;
    bool isMonitoringSleep() const;

    // --- KLPlatform ---
    KLDisplaySleepHandle preventDisplaySleep(const QString &reason) override;
    void allowDisplaySleep(KLDisplaySleepHandle handle) override;
    void startMonitoringSleep() override;
    void stopMonitoringSleep() override;
    int authorizationStatusForMediaType(KLMediaType type) override;
    void requestAccessForMediaType(KLMediaType type, AccessCompletion completion) override;
    bool hasVideoCaptureDevice() override;
    bool canRecordScreen() override;
    bool recordScreenFromCreateStream() override;
    std::optional<KLOSVersion> osVersion() override;

private:
    void record(const QString &name, QVariantList arguments = {});
    static void answerOnMainThread(AccessCompletion completion, bool granted);

    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
    std::optional<KLOSVersion> m_version = KLOSVersion{12, 0, 0};
    std::map<KLMediaType, int> m_status;                   // authorised when not set
    std::map<KLMediaType, std::optional<bool>> m_answer;   // granted when not set
    std::map<KLMediaType, std::vector<AccessCompletion>> m_pending;
    bool m_hasVideoCaptureDevice = true;
    bool m_canRecordScreen = true;
    bool m_recordScreenFromCreateStream = true;
    bool m_monitoringSleep = false;
    KLDisplaySleepHandle m_nextHandle = 1;
    std::set<KLDisplaySleepHandle> m_held;
};
