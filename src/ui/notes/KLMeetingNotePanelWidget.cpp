#include "ui/notes/KLMeetingNotePanelWidget.h"

#include "collab/KLCaptionBridge.h"
#include "collab/KLMeetingNoteController.h"
#include "collab/KLMeetingNoteManager.h"
#include "conference/service/KLConferenceService.h"
#include "conference/service/KLConferenceServiceCollaborationContext.h"
#include "model/KLSDKMeetingConfigInternal.h"
#include "runtime/KLLocalization.h"
#include "ui/KLTheme.h"
#include "ui/web/KLCaptionWebView.h"
#include "ui/web/KLWebPageView.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>

namespace {

const QString kZh = QStringLiteral("zh");
const QString kEn = QStringLiteral("en");

class PanelViewAdapter final : public KLMeetingNotePanelView {
public:
    explicit PanelViewAdapter(KLMeetingNotePanelWidget *panel) : m_panel(panel) {}
    void showStartView() override
    {
        if (m_panel)
            m_panel->showStartView();
    }
    void showCaptionArea() override
    {
        if (m_panel)
            m_panel->showCaptionArea();
    }

private:
    QPointer<KLMeetingNotePanelWidget> m_panel;
};

QLabel *text(QWidget *parent, const QString &key, int pixelSize, bool bold = false,
             const QString &color = KLTheme::kTextDark)
{
    auto *label = new QLabel(KLLocalizedString(key), parent);
    label->setFont(KLTheme::font(pixelSize, bold));
    label->setStyleSheet(QStringLiteral("color: %1;").arg(color));
    label->setWordWrap(true);
    return label;
}

// Two exclusive buttons ("zh" and "en"), the one of `selected` pressed.
std::pair<QPushButton *, QPushButton *> languagePair(QWidget *parent, QBoxLayout *into, const QString &name,
                                                    const QString &selected)
{
    auto *group = new QButtonGroup(parent);
    QPushButton *buttons[2];
    const QString keys[2] = {QStringLiteral("MEETING_NOTE_LANGUAGE_ZH"), QStringLiteral("MEETING_NOTE_LANGUAGE_EN")};
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    for (int i = 0; i < 2; ++i) {
        buttons[i] = new QPushButton(KLLocalizedString(keys[i]), parent);
        buttons[i]->setObjectName(QStringLiteral("%1-%2").arg(name, i == 0 ? kZh : kEn));
        buttons[i]->setCheckable(true);
        buttons[i]->setCursor(Qt::PointingHandCursor);
        buttons[i]->setFont(KLTheme::font(13));
        buttons[i]->setStyleSheet(QStringLiteral("QPushButton { border: 1px solid #DEE0E3; border-radius: 14px; padding: 5px 16px;"
                                                 " color: %1; background: #FFFFFF; }"
                                                 "QPushButton:checked { border-color: %2; color: %2; background: #EAF3FD; }")
                                      .arg(KLTheme::kTextDark, KLTheme::kAccentBlue));
        group->addButton(buttons[i]);
        row->addWidget(buttons[i]);
    }
    row->addStretch(1);
    (selected == kEn ? buttons[1] : buttons[0])->setChecked(true);
    into->addLayout(row);
    return {buttons[0], buttons[1]};
}

QPushButton *primaryButton(QWidget *parent, const QString &key, const QString &name, const QString &background)
{
    auto *button = new QPushButton(KLLocalizedString(key), parent);
    button->setObjectName(name);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(KLTheme::font(14, true));
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: #FFFFFF; border: none; border-radius: 16px;"
                                         " padding: 7px 24px; }")
                              .arg(background));
    return button;
}

} // namespace

KLMeetingNotePanelWidget::KLMeetingNotePanelWidget(const std::shared_ptr<KLConferenceService> &service, QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("meeting-note-panel"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#meeting-note-panel { background: %1; border-left: 1px solid #DEE0E3; }")
                      .arg(KLTheme::kWindowBackground));
    setFixedWidth(kWidth);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeader());
    m_stack = new QStackedWidget(this);
    m_startView = buildStartView();
    m_captionPage = new KLWebPageView(QStringLiteral("caption page"), m_stack);
    m_captionPage->setObjectName(QStringLiteral("caption-page"));
    m_stack->addWidget(m_startView);
    m_stack->addWidget(m_captionPage);
    column->addWidget(m_stack, 1);

    // The caption page joins the meeting's caption stream; the controller drives it.
    const QString caFile = service && service->meetingConfig() ? service->meetingConfig()->caFile() : QString();
    KLMeetingNoteManager &notes = KLMeetingNoteManager::sharedInstance();
    notes.initMeetingCaptionView(std::make_shared<KLCaptionWebView>(m_captionPage, caFile));
    std::weak_ptr<KLMeetingNoteHost> host;
    if (service)
        host = service->collaborationContext();
    m_captionBridge = notes.captionView();
    m_service = service;
    m_controller = KLMeetingNoteController::create(host, m_captionBridge);
    m_controller->setPanelView(std::make_shared<PanelViewAdapter>(this));
    m_controller->buildPanel();
}

KLMeetingNotePanelWidget::~KLMeetingNotePanelWidget()
{
    // Caption lines stop here: the page goes with the panel.
    KLMeetingNoteManager &notes = KLMeetingNoteManager::sharedInstance();
    if (notes.captionView() == m_captionBridge)
        notes.initMeetingCaptionView(nullptr);
}

QWidget *KLMeetingNotePanelWidget::buildHeader()
{
    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("meeting-note-header"));
    header->setFixedHeight(44);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(16, 0, 8, 0);
    row->addWidget(text(header, QStringLiteral("MEETING_NOTE_TITLE"), 15, true), 1);
    auto toolButton = [header](const QString &label, const QString &name) {
        auto *button = new QToolButton(header);
        button->setObjectName(name);
        button->setText(label);
        button->setAutoRaise(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setFont(KLTheme::font(13));
        button->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 4px 8px; color: %1; border-radius: 4px; }"
                                             "QToolButton:hover { background: #F2F3F5; }")
                                  .arg(KLTheme::kTextDark));
        return button;
    };
    m_settings = toolButton(KLLocalizedString(QStringLiteral("MEETING_NOTE_SETTINGS")), QStringLiteral("meeting-note-settings"));
    m_settings->setVisible(false);
    connect(m_settings, &QToolButton::clicked, this, &KLMeetingNotePanelWidget::openSettings);
    auto *close = toolButton(QStringLiteral("\u2715"), QStringLiteral("meeting-note-close"));
    connect(close, &QToolButton::clicked, this, &KLMeetingNotePanelWidget::closeRequested);
    row->addWidget(m_settings);
    row->addWidget(close);
    return header;
}

QWidget *KLMeetingNotePanelWidget::buildStartView()
{
    auto *view = new QWidget(this);
    view->setObjectName(QStringLiteral("meeting-note-start"));
    auto *column = new QVBoxLayout(view);
    column->setContentsMargins(20, 12, 20, 20);
    column->setSpacing(12);
    column->addWidget(text(view, QStringLiteral("MEETING_NOTE_START_DESC"), 13, false, QStringLiteral("rgba(31,56,88,0.7)")));
    column->addSpacing(6);
    column->addWidget(text(view, QStringLiteral("MEETING_NOTE_SPEAK_LANGUAGE"), 13, true));
    std::tie(m_speakZh, m_speakEn) = languagePair(view, column, QStringLiteral("meeting-note-speak"),
                                                  KLLocalization::isEnglish() ? kEn : kZh);
    column->addSpacing(6);
    auto checkBox = [view](const QString &key, const QString &name, bool checked) {
        auto *box = new QCheckBox(KLLocalizedString(key), view);
        box->setObjectName(name);
        box->setFont(KLTheme::font(13));
        box->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextDark));
        box->setChecked(checked);
        return box;
    };
    m_sendMail = checkBox(QStringLiteral("MEETING_NOTE_SEND_MAIL"), QStringLiteral("meeting-note-send-mail"), true);
    m_train = checkBox(QStringLiteral("MEETING_NOTE_TRAIN"), QStringLiteral("meeting-note-train"), false);
    column->addWidget(m_sendMail);
    column->addWidget(m_train);
    column->addSpacing(10);
    m_start = primaryButton(view, QStringLiteral("MEETING_NOTE_START"), QStringLiteral("meeting-note-start-button"),
                            KLTheme::kAccentBlue);
    connect(m_start, &QPushButton::clicked, this, [this] {
        m_controller->startMeetingNote(m_speakZh->isChecked(), m_sendMail->isChecked(), m_train->isChecked());
    });
    column->addWidget(m_start, 0, Qt::AlignLeft);
    column->addStretch(1);
    return view;
}

QFrame *KLMeetingNotePanelWidget::buildPopover()
{
    auto *popover = new QFrame(this, Qt::Popup);
    popover->setObjectName(QStringLiteral("meeting-note-popover"));
    popover->setAttribute(Qt::WA_StyledBackground);
    popover->setStyleSheet(QStringLiteral("#meeting-note-popover { background: #FFFFFF; border: 1px solid #DEE0E3;"
                                          " border-radius: 8px; }"));
    auto *column = new QVBoxLayout(popover);
    column->setContentsMargins(16, 14, 16, 14);
    column->setSpacing(8);

    auto *translate = new QCheckBox(KLLocalizedString(QStringLiteral("MEETING_NOTE_TRANSLATE")), popover);
    translate->setObjectName(QStringLiteral("meeting-note-translate"));
    translate->setFont(KLTheme::font(13, true));
    translate->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextDark));
    translate->setChecked(true);
    column->addWidget(translate);
    auto [translateZh, translateEn] = languagePair(popover, column, QStringLiteral("meeting-note-translate"),
                                                   m_controller->translateLanguage());
    connect(translate, &QCheckBox::toggled, this, [this](bool on) { m_controller->setTranslateEnabled(on); });
    connect(translateZh, &QPushButton::clicked, this, [this] { m_controller->selectTranslateLanguage(kZh); });
    connect(translateEn, &QPushButton::clicked, this, [this] { m_controller->selectTranslateLanguage(kEn); });

    column->addSpacing(4);
    column->addWidget(text(popover, QStringLiteral("MEETING_NOTE_SPEAK_LANGUAGE"), 13, true));
    const auto service = m_service.lock();
    const QString spoken = service && service->summaryLanguage() == kEn ? kEn : kZh;
    auto [speakZh, speakEn] = languagePair(popover, column, QStringLiteral("meeting-note-speaker"), spoken);
    connect(speakZh, &QPushButton::clicked, this, [this] { m_controller->selectSpeakerLanguage(kZh); });
    connect(speakEn, &QPushButton::clicked, this, [this] { m_controller->selectSpeakerLanguage(kEn); });

    column->addSpacing(8);
    auto *stop = primaryButton(popover, QStringLiteral("MEETING_NOTE_STOP"), QStringLiteral("meeting-note-stop"),
                               QStringLiteral("#F54A45"));
    connect(stop, &QPushButton::clicked, this, [this, popover] {
        popover->hide();
        m_controller->stopButtonPressed();
    });
    column->addWidget(stop, 0, Qt::AlignLeft);
    popover->adjustSize();
    return popover;
}

// Built afresh each time, so that its buttons show the languages of now.
void KLMeetingNotePanelWidget::openSettings()
{
    if (m_popover)
        m_popover->deleteLater();
    m_popover = buildPopover();
    const QPoint below = m_settings->mapToGlobal(QPoint(m_settings->width(), m_settings->height() + 4));
    m_popover->move(below.x() - m_popover->width(), below.y());
    m_popover->show();
    m_popover->raise();
}

bool KLMeetingNotePanelWidget::showsCaptionArea() const
{
    return m_stack->currentWidget() == m_captionPage;
}

void KLMeetingNotePanelWidget::showStartView()
{
    m_stack->setCurrentWidget(m_startView);
    m_settings->setVisible(false);
    if (m_popover)
        m_popover->hide();
}

void KLMeetingNotePanelWidget::showCaptionArea()
{
    m_stack->setCurrentWidget(m_captionPage);
    m_settings->setVisible(true);
}
