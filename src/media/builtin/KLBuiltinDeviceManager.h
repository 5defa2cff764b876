#pragma once

// The built-in engine's device inventory. There is no capture hardware behind it: the list is
// configured. By default one camera, one microphone and one speaker built into the computer,
// plus a USB headset (a microphone and a speaker). KELVO_MEDIA_DEVICES replaces the defaults
// with a JSON array of {"id", "name", "type" (1 camera, 2 speaker, 3 mic), "transport"}; so do
// setDevices() at run time. plugDevice()/unplugDevice() simulate hot plugging and notify the
// delegate on the engine queue.

#include "media/KLRTCMediaDeviceManager.h"

#include <QByteArray>

#include <memory>
#include <mutex>

class KLDispatchQueue;

class KLBuiltinDeviceManager final : public KLRTCMediaDeviceManager {
public:
    /// Transport codes of the built-in inventory (2 is Bluetooth, as the SDK reads it).
    enum Transport : int { TransportBuiltIn = 0, TransportUsb = 1, TransportBluetooth = 2, TransportVirtual = 3 };

    explicit KLBuiltinDeviceManager(std::shared_ptr<KLDispatchQueue> queue);

    /// The default inventory described above.
    static QList<KLRTCMediaDevice> defaultDevices();
    /// Devices from the JSON text of KELVO_MEDIA_DEVICES; empty (with a log line) when the text
    /// is not such an array.
    static QList<KLRTCMediaDevice> parseDevices(const QByteArray &json);

    void initWithDelegate(std::weak_ptr<KLRTCMediaDeviceManagerDelegate> delegate) override;
    QList<KLRTCMediaDevice> getDeviceByType(int type) override;
    std::optional<KLRTCMediaDevice> getDeviceById(const QString &deviceId, int type) override;
    std::optional<KLRTCMediaDevice> getDeviceByTypeTransport(int type, int transport) override;
    QList<KLRTCMediaDevice> deviceArray() override;
    void updateAllDeviceName() override;
    void startPlayingFile(const QString &path) override;

    /// Replaces the whole inventory without notices.
    void setDevices(const QList<KLRTCMediaDevice> &devices);
    /// Adds a device (replacing one with the same id and type) and notifies "added".
    void plugDevice(const KLRTCMediaDevice &device);
    /// Removes a device and notifies "removed"; false when there was none.
    bool unplugDevice(const QString &deviceId, int type);
    /// The file of the last startPlayingFile call.
    QString lastPlayedFile() const;

private:
    void notify(bool add, const KLRTCMediaDevice &device);

    const std::shared_ptr<KLDispatchQueue> m_queue;
    mutable std::mutex m_mutex;
    QList<KLRTCMediaDevice> m_devices;
    std::weak_ptr<KLRTCMediaDeviceManagerDelegate> m_delegate;
    QString m_lastPlayed;
};
