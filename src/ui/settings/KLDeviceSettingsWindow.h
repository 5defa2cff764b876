#pragma once

// The device settings window: camera, microphone and speaker lists, the microphone's level, the
// test sound and the own camera's preview. Every decision is KLDeviceSettingsController's; the
// window draws and forwards the choices. Main thread only.

#include "window/KLMeetingSettingsViewController.h"

#include <QDialog>

class KLVideoRenderWidget;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

class KLDeviceSettingsWindow : public QDialog {
    Q_OBJECT
public:
    KLDeviceSettingsWindow(std::shared_ptr<KLDeviceSettingsController> controller, QWidget *parent = nullptr);
    ~KLDeviceSettingsWindow() override;

    /// Shows the window for `meeting` (raising it when it is open already).
    void openFor(std::shared_ptr<KLPanelMeeting> meeting);
    std::shared_ptr<KLDeviceSettingsController> controller() const { return m_controller; }
    QComboBox *list(int deviceType) const;
    QProgressBar *levelBar() const { return m_level; }
    QPushButton *testButton() const { return m_test; }
    bool isPreviewShown() const;

    /// The project's test sound as a file the engine can open (written once from the resources).
    static QString testSoundFile();

    // The controller's view.
    void setDevices(int deviceType, const QStringList &names, int current);
    void setLevel(int level);
    void setPreviewShown(bool shown);

protected:
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void stopPreview();

    std::shared_ptr<KLDeviceSettingsController> m_controller;
    std::shared_ptr<KLDeviceSettingsView> m_adapter;
    std::shared_ptr<KLPanelMeeting> m_meeting;
    QComboBox *m_lists[3] = {};
    QProgressBar *m_level = nullptr;
    QPushButton *m_test = nullptr;
    QStackedWidget *m_preview = nullptr;
    KLVideoRenderWidget *m_video = nullptr;
    std::weak_ptr<class KLRTCMediaStream> m_previewStream;
};
