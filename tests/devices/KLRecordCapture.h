#pragma once

// Catches the monitor records of the shared collector while it lives, through the host
// hand-over of an internal staff user; puts everything it changes back when it goes.

#include "KLTestSupport.h"

#include "cloudlog/KLQLSLogger.h"
#include "clientconfig/KLClientConfigManager.h"
#include "model/KLSDKMeetingConfigInternal.h"

#include <QJsonObject>

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace kltest {

class RecordCapture {
public:
    RecordCapture()
    {
        m_config->setIsVanInternal(true);
        KLQLSLogger::sharedInstance().setMeetingConfig(m_config);
        KLClientConfigManager::sharedInstance().setIsStaff(true);
        KLQLSLogger::sharedInstance().setHostHandOver([this](const QJsonObject &record) {
            std::lock_guard lock(m_mutex);
            m_records.push_back(record);
        });
    }
    ~RecordCapture()
    {
        settle(); // no hand-over may reach this object once it is gone
        KLQLSLogger::sharedInstance().setHostHandOver(nullptr);
        KLClientConfigManager::sharedInstance().setIsStaff(m_previousStaff);
        KLQLSLogger::sharedInstance().setMeetingConfig(m_previousConfig);
    }

    /// Every record sent so far. Hand-overs run in order on one queue, so once a marker sent
    /// now has arrived, everything sent before it has too.
    std::vector<QJsonObject> settle()
    {
        const QString marker = QStringLiteral("capture-marker");
        KLQLSLogger::sharedInstance().commitMonitorLevel(1, 1, {{"value", marker}});
        EXPECT_TRUE(waitUntil([&] {
            std::lock_guard lock(m_mutex);
            return !m_records.empty() && m_records.back().value("value") == marker;
        })) << "the marker record was never handed over";
        std::lock_guard lock(m_mutex);
        std::erase_if(m_records, [&](const QJsonObject &r) { return r.value("value") == marker; });
        return m_records;
    }
    std::vector<QJsonObject> withValue(const QString &value)
    {
        std::vector<QJsonObject> found = settle();
        std::erase_if(found, [&](const QJsonObject &r) { return r.value("value") != value; });
        return found;
    }
    void clear()
    {
        settle();
        std::lock_guard lock(m_mutex);
        m_records.clear();
    }

private:
    std::shared_ptr<KLSDKMeetingConfigInternal> m_config = KLSDKMeetingConfigInternal::create({});
    std::shared_ptr<KLSDKMeetingConfigInternal> m_previousConfig =
        KLQLSLogger::sharedInstance().meetingConfig();
    bool m_previousStaff = KLClientConfigManager::sharedInstance().isStaff();
    std::mutex m_mutex;
    std::vector<QJsonObject> m_records;
};

} // namespace kltest
