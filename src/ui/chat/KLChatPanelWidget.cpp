#include "ui/chat/KLChatPanelWidget.h"

#include "collab/KLChatManager.h"
#include "collab/KLChatViews.h"
#include "runtime/KLLocalization.h"
#include "ui/KLTheme.h"

#include <QBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {

class ChatInputAdapter final : public KLChatInputView {
public:
    explicit ChatInputAdapter(KLChatPanelWidget *widget) : m_widget(widget) {}
    void setInputHidden(bool hidden) override
    {
        if (m_widget)
            m_widget->setInputHidden(hidden);
    }
    void setChatButtonHidden(bool hidden) override
    {
        if (m_widget)
            m_widget->setChatButtonHidden(hidden);
    }

private:
    QPointer<KLChatPanelWidget> m_widget;
};

// The longest text the field takes: more than this would go out as many pieces 2 s apart.
constexpr int kMaxInputLength = 1000;

} // namespace

KLChatPanelWidget::KLChatPanelWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("chat-panel"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(12, 6, 12, 10);
    column->setSpacing(6);

    m_chatButton = new QPushButton(KLTheme::icon(QStringLiteral("conf_chat")), KLLocalizedString(QStringLiteral("CHAT_TIPS")), this);
    m_chatButton->setObjectName(QStringLiteral("chat-button"));
    m_chatButton->setFont(KLTheme::font(12));
    m_chatButton->setCursor(Qt::PointingHandCursor);
    m_chatButton->setStyleSheet(QStringLiteral("QPushButton { background: #EDF0F5; color: %1; border: none;"
                                               " border-radius: 6px; padding: 6px 10px; text-align: left; }"
                                               "QPushButton:hover { background: #E7F2FC; }")
                                    .arg(KLTheme::kTextDark));
    column->addWidget(m_chatButton);

    m_input = new QWidget(this);
    m_input->setObjectName(QStringLiteral("chat-input"));
    auto *row = new QHBoxLayout(m_input);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    m_text = new QLineEdit(m_input);
    m_text->setObjectName(QStringLiteral("chat-text"));
    m_text->setFont(KLTheme::font(13));
    m_text->setMaxLength(kMaxInputLength);
    m_text->setPlaceholderText(KLLocalizedString(QStringLiteral("CHAT_PLACEHOLDER_TIPS")));
    m_text->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid rgba(31,56,88,0.3); border-radius: 6px;"
                                         " padding: 5px 8px; color: %1; background: #FFFFFF; }"
                                         "QLineEdit:focus { border-color: %2; }")
                              .arg(KLTheme::kTextDark, KLTheme::kAccentBlue));
    m_send = new QPushButton(KLLocalizedString(QStringLiteral("CHAT_SEND_TIPS")), m_input);
    m_send->setObjectName(QStringLiteral("chat-send"));
    m_send->setFont(KLTheme::font(13));
    m_send->setCursor(Qt::PointingHandCursor);
    m_send->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: #FFFFFF; border: none; border-radius: 6px;"
                                         " padding: 6px 12px; }"
                                         "QPushButton:disabled { background: #B2D6FB; }")
                              .arg(KLTheme::kAccentBlue));
    m_send->setEnabled(false);
    row->addWidget(m_text, 1);
    row->addWidget(m_send);
    column->addWidget(m_input);
    m_input->hide();

    connect(m_chatButton, &QPushButton::clicked, this, [] { KLChatManager::sharedInstance().setChatHidden(false); });
    connect(m_send, &QPushButton::clicked, this, &KLChatPanelWidget::send);
    connect(m_text, &QLineEdit::returnPressed, this, &KLChatPanelWidget::send);
    connect(m_text, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_send->setEnabled(!text.trimmed().isEmpty());
    });

    m_view = std::make_shared<ChatInputAdapter>(this);
    KLChatManager::sharedInstance().initChatInputView(m_view);
}

KLChatPanelWidget::~KLChatPanelWidget() = default;

void KLChatPanelWidget::send()
{
    const QString text = m_text->text();
    if (text.trimmed().isEmpty())
        return;
    KLChatManager::sharedInstance().sendChatMessage(text);
    m_text->clear();
}

void KLChatPanelWidget::setInputHidden(bool hidden)
{
    m_input->setVisible(!hidden);
    if (!hidden)
        m_text->setFocus();
}

void KLChatPanelWidget::setChatButtonHidden(bool hidden)
{
    m_chatButton->setVisible(!hidden);
}
