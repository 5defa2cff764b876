#include "ui/settings/KLDeviceSettingsWindow.h"

#include "conference/registry/KLFeedClient.h"
#include "media/KLRTCMediaStream.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLSDKLog.h"
#include "ui/KLTheme.h"
#include "ui/video/KLVideoRenderWidget.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {
const char *const kTag = "KLDeviceSettingsWindow";
constexpr int kCamera = 1;
constexpr int kSpeaker = 2;
constexpr int kMicrophone = 3;
/// The engine's input levels run up to this.
constexpr int kLevelMaximum = 32767;

QString text(const char *key)
{
    return KLLocalizedString(QLatin1String(key));
}

int slotOf(int deviceType)
{
    return deviceType == kCamera ? 0 : deviceType == kMicrophone ? 1 : 2;
}

class DeviceViewAdapter final : public KLDeviceSettingsView {
public:
    explicit DeviceViewAdapter(KLDeviceSettingsWindow *window) : m_window(window) {}
    void setDevices(int type, const QStringList &names, int current) override
    {
        if (m_window)
            m_window->setDevices(type, names, current);
    }
    void setLevel(int level) override
    {
        if (m_window)
            m_window->setLevel(level);
    }
    void setPreviewShown(bool shown) override
    {
        if (m_window)
            m_window->setPreviewShown(shown);
    }

private:
    QPointer<KLDeviceSettingsWindow> m_window;
};
} // namespace

KLDeviceSettingsWindow::KLDeviceSettingsWindow(std::shared_ptr<KLDeviceSettingsController> controller, QWidget *parent)
    : QDialog(parent), m_controller(std::move(controller))
{
    setObjectName(QStringLiteral("device-settings-window"));
    setWindowTitle(text("DEVICE_WINDOW_TITLE"));
    setAutoFillBackground(true);
    QFont smooth = KLTheme::font(13);
    smooth.setStyleStrategy(QFont::PreferAntialias);
    setFont(smooth);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, KLTheme::color(KLTheme::kWindowBackground));
    pal.setColor(QPalette::WindowText, KLTheme::color(KLTheme::kTextDark));
    setPalette(pal);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(24, 20, 24, 20);
    column->setSpacing(14);

    m_preview = new QStackedWidget(this);
    m_preview->setFixedSize(320, 180);
    auto *placeholder = new QLabel(text("DEVICE_NO_VIDEO"), m_preview);
    placeholder->setAlignment(Qt::AlignCenter);
    placeholder->setFont(KLTheme::font(14));
    placeholder->setAutoFillBackground(true);
    QPalette dark = placeholder->palette();
    dark.setColor(QPalette::Window, KLTheme::color(KLTheme::kMeetingBackground));
    dark.setColor(QPalette::WindowText, KLTheme::color(KLTheme::kTextLight));
    placeholder->setPalette(dark);
    m_video = new KLVideoRenderWidget(m_preview);
    m_preview->addWidget(placeholder);
    m_preview->addWidget(m_video);
    column->addWidget(m_preview, 0, Qt::AlignHCenter);

    auto *form = new QFormLayout;
    form->setHorizontalSpacing(16);
    form->setVerticalSpacing(10);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const std::pair<int, const char *> lists[] = {{kCamera, "DEVICE_CAMERA"}, {kMicrophone, "DEVICE_MICROPHONE"}, {kSpeaker, "DEVICE_SPEAKER"}};
    for (const auto &[type, key] : lists) {
        auto *combo = new QComboBox(this);
        combo->setFont(KLTheme::font(13));
        combo->setMinimumWidth(260);
        m_lists[slotOf(type)] = combo;
        std::weak_ptr<KLDeviceSettingsController> weak = m_controller;
        connect(combo, &QComboBox::activated, this, [weak, type = type](int index) {
            if (auto c = weak.lock())
                c->chooseDevice(type, index);
        });
        auto *name = new QLabel(text(key), this);
        name->setFont(KLTheme::font(13));
        form->addRow(name, combo);
        if (type == kMicrophone) {
            m_level = new QProgressBar(this);
            m_level->setObjectName(QStringLiteral("device-level"));
            m_level->setRange(0, kLevelMaximum);
            m_level->setTextVisible(false);
            m_level->setFixedHeight(8);
            m_level->setStyleSheet(QStringLiteral("QProgressBar { background: #EDF0F5; border: none; border-radius: 4px; }"
                                                  " QProgressBar::chunk { background: #2CB66A; border-radius: 4px; }"));
            auto *levelName = new QLabel(text("DEVICE_INPUT_LEVEL"), this);
            levelName->setFont(KLTheme::font(13));
            form->addRow(levelName, m_level);
        }
        if (type == kSpeaker) {
            m_test = new QPushButton(text("DEVICE_TEST_SOUND"), this);
            m_test->setFont(KLTheme::font(13));
            m_test->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: #EDF0F5; border: none; border-radius: 6px;"
                                                 " padding: 6px 14px; } QPushButton:hover { background: #E7F2FC; }")
                                      .arg(KLTheme::kTextDark));
            connect(m_test, &QPushButton::clicked, this, [weak] {
                if (auto c = weak.lock())
                    c->playTestSound();
            });
            form->addRow(new QLabel(this), m_test);
        }
    }
    column->addLayout(form);

    m_controller->setTestSoundPath(testSoundFile());
    m_adapter = std::make_shared<DeviceViewAdapter>(this);
    m_controller->setView(m_adapter);
}

KLDeviceSettingsWindow::~KLDeviceSettingsWindow()
{
    stopPreview();
    m_controller->close();
    m_controller->setView(nullptr);
}

QString KLDeviceSettingsWindow::testSoundFile()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/kelvo-sounds");
    const QString path = folder + QStringLiteral("/bell_ring2.wav");
    if (QFile::exists(path))
        return path;
    if (!QDir().mkpath(folder) || !QFile::copy(QStringLiteral(":/kelvo/sounds/bell_ring2.wav"), path)) {
        KL_LOG_WARN(kTag, QStringLiteral("the test sound could not be written to %1").arg(path));
        return {};
    }
    return path;
}

void KLDeviceSettingsWindow::openFor(std::shared_ptr<KLPanelMeeting> meeting)
{
    if (meeting != m_meeting)
        stopPreview();
    m_meeting = meeting;
    m_controller->open(std::move(meeting));
    show();
    raise();
    activateWindow();
}

QComboBox *KLDeviceSettingsWindow::list(int deviceType) const
{
    return deviceType == kCamera || deviceType == kSpeaker || deviceType == kMicrophone ? m_lists[slotOf(deviceType)] : nullptr;
}

bool KLDeviceSettingsWindow::isPreviewShown() const
{
    return m_preview->currentWidget() == m_video;
}

void KLDeviceSettingsWindow::setDevices(int deviceType, const QStringList &names, int current)
{
    QComboBox *combo = list(deviceType);
    if (!combo)
        return;
    const QSignalBlocker block(combo);
    combo->clear();
    combo->addItems(names);
    combo->setPlaceholderText(text("DEVICE_NONE"));
    combo->setCurrentIndex(current);
}

void KLDeviceSettingsWindow::setLevel(int level)
{
    m_level->setValue(qBound(0, level, kLevelMaximum));
}

// The preview is one more renderer of the own stream, besides the meeting's own tile.
void KLDeviceSettingsWindow::setPreviewShown(bool shown)
{
    const auto own = m_meeting ? m_meeting->publisher() : nullptr;
    const auto stream = own ? own->mediaStream() : nullptr;
    if (shown && stream) {
        if (m_previewStream.lock() != stream) {
            stopPreview();
            stream->preVideoWithView(m_video->renderView());
            m_previewStream = stream;
        }
        m_preview->setCurrentWidget(m_video);
        return;
    }
    stopPreview();
    m_preview->setCurrentIndex(0);
}

void KLDeviceSettingsWindow::stopPreview()
{
    if (auto stream = m_previewStream.lock())
        stream->stopPlayWithView(m_video->renderView());
    m_previewStream.reset();
    m_video->clearFrame();
}

void KLDeviceSettingsWindow::closeEvent(QCloseEvent *event)
{
    m_controller->close();
    stopPreview();
    QDialog::closeEvent(event);
}

void KLDeviceSettingsWindow::hideEvent(QHideEvent *event)
{
    m_controller->close();
    QDialog::hideEvent(event);
}
