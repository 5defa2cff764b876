#pragma once

// The settings popover's content: the start-muted boxes, the beauty box, the cell-phone audio
// button and the entry to the device settings. Every decision is
// KLMeetingSettingsViewController's. Main thread only.

#include "window/KLMeetingSettingsViewController.h"

#include <QWidget>

class QCheckBox;
class QPushButton;

class KLMeetingSettingsPanel : public QWidget {
    Q_OBJECT
public:
    explicit KLMeetingSettingsPanel(std::shared_ptr<KLMeetingSettingsViewController> controller, QWidget *parent = nullptr);

    void showState(const KLMeetingSettingsState &state);
    QCheckBox *enterAudioMutedBox() const { return m_audio; }
    QCheckBox *enterVideoMutedBox() const { return m_video; }
    QCheckBox *beautyBox() const { return m_beauty; }
    QPushButton *cellPhoneButton() const { return m_cellPhone; }
    QPushButton *deviceButton() const { return m_devices; }

private:
    std::shared_ptr<KLMeetingSettingsViewController> m_controller;
    QCheckBox *m_audio = nullptr;
    QCheckBox *m_video = nullptr;
    QCheckBox *m_beauty = nullptr;
    QPushButton *m_cellPhone = nullptr;
    QPushButton *m_devices = nullptr;
};
