#include "ui/entername/KLEnterNameDialogWidget.h"

#include "runtime/KLLocalization.h"
#include "ui/KLTheme.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {

class EnterNameAdapter final : public KLEnterNameView {
public:
    explicit EnterNameAdapter(KLEnterNameDialogWidget *widget) : m_widget(widget) {}
    void showEnterName(const QString &error) override
    {
        if (m_widget)
            m_widget->showEnterName(error);
    }
    void closeEnterName() override
    {
        if (m_widget)
            m_widget->closeEnterName();
    }

private:
    QPointer<KLEnterNameDialogWidget> m_widget;
};

// Display names longer than this are of no use in a member list.
constexpr int kMaxNameLength = 40;

} // namespace

KLEnterNameDialogWidget::KLEnterNameDialogWidget(std::shared_ptr<KLEnterNameViewController> dialog, QWidget *window)
    : KLOverlayCard(window, 360), m_controller(std::move(dialog))
{
    setObjectName(QStringLiteral("enter-name-dialog"));
    titleLabel()->setText(KLLocalizedString(QStringLiteral("ENTER_NAME_TITLE")));
    m_name = new QLineEdit(card());
    m_name->setObjectName(QStringLiteral("enter-name-field"));
    m_name->setFont(KLTheme::font(14));
    m_name->setMaxLength(kMaxNameLength);
    m_name->setPlaceholderText(KLLocalizedString(QStringLiteral("ENTER_NAME_PLACEHOLDER")));
    content()->addWidget(m_name);
    m_error = new QLabel(card());
    m_error->setObjectName(QStringLiteral("enter-name-error"));
    m_error->setFont(KLTheme::font(12));
    m_error->setStyleSheet(QStringLiteral("color: #F03118;"));
    m_error->hide();
    content()->addWidget(m_error);
    m_confirm = new QPushButton(KLLocalizedString(QStringLiteral("CONFIRM")), card());
    m_confirm->setObjectName(QStringLiteral("enter-name-confirm"));
    m_confirm->setFont(KLTheme::font(14));
    m_confirm->setCursor(Qt::PointingHandCursor);
    m_confirm->setEnabled(false);
    m_confirm->setStyleSheet(QStringLiteral("QPushButton { background: #0079F2; color: #FFFFFF; border: none; border-radius: 6px;"
                                            " padding: 8px; } QPushButton:hover { background: #1986F3; }"
                                            " QPushButton:disabled { background: #B2D6FB; }"));
    content()->addWidget(m_confirm);
    m_name->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid rgba(31,56,88,0.3); border-radius: 6px; padding: 7px 9px;"
                                         " color: %1; background: #FFFFFF; }").arg(KLTheme::kTextDark));

    auto submit = [this] {
        if (m_controller && !m_name->text().isEmpty())
            m_controller->submit(m_name->text());
    };
    connect(m_confirm, &QPushButton::clicked, this, submit);
    connect(m_name, &QLineEdit::returnPressed, this, submit);
    // Typing clears the error shown for the last name.
    connect(m_name, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_error->hide();
        m_confirm->setEnabled(!text.isEmpty());
    });
    m_adapter = std::make_shared<EnterNameAdapter>(this);
    if (m_controller)
        m_controller->setView(m_adapter);
}

KLEnterNameDialogWidget::~KLEnterNameDialogWidget()
{
    if (m_controller)
        m_controller->setView(nullptr);
}

void KLEnterNameDialogWidget::showEnterName(const QString &error)
{
    m_error->setText(error);
    m_error->setVisible(!error.isEmpty());
    showOver();
    m_name->setFocus();
}

void KLEnterNameDialogWidget::closeEnterName()
{
    hide();
}
