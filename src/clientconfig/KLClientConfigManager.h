#pragma once

#include <atomic>

/// Process-wide flags of the client configuration. `isStaff` is set once per conference
/// service from the meeting configuration's internal-user flag.
class KLClientConfigManager {
public:
    static KLClientConfigManager &sharedInstance();

    bool isStaff() const { return m_isStaff.load(); }
    void setIsStaff(bool isStaff) { m_isStaff.store(isStaff); }

private:
    KLClientConfigManager() = default;
    std::atomic<bool> m_isStaff{false};
};
