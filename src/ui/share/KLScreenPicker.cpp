#include "ui/share/KLScreenPicker.h"

#include "runtime/KLLocalization.h"
#include "ui/KLTheme.h"
#include "ui/share/KLScreens.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

KLScreenPicker::KLScreenPicker(QWidget *parent, const KLScreenChoice &choice, Thumbnail thumbnail,
                               std::function<void(const QString &)> chosen)
    : QDialog(parent), m_chosen(std::move(chosen)), m_preselected(choice.preselected())
{
    setObjectName(QStringLiteral("screen-picker"));
    setWindowTitle(KLLocalizedString(QStringLiteral("SHARE_PICK_SCREEN_TITLE")));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(14);
    auto *title = new QLabel(KLLocalizedString(QStringLiteral("SHARE_PICK_SCREEN_TITLE")), this);
    title->setFont(KLTheme::font(15, true));
    column->addWidget(title);
    auto *row = new QHBoxLayout;
    row->setSpacing(12);
    int index = 0;
    for (const KLScreenInfo &screen : choice.screens()) {
        ++index;
        const QString name = screen.name;
        m_offered << name;
        auto *button = new QPushButton(this);
        button->setObjectName(QStringLiteral("screen-picker-%1").arg(name));
        QString text = KLLocalizedString(QStringLiteral("SHARE_PICK_SCREEN_ITEM")).arg(index).arg(screen.width).arg(screen.height);
        text += QLatin1Char('\n') + name;
        if (screen.primary)
            text += QStringLiteral(" · ") + KLLocalizedString(QStringLiteral("SHARE_PICK_SCREEN_PRIMARY"));
        button->setText(text);
        button->setFont(KLTheme::font(13));
        button->setMinimumWidth(kThumbWidth + 24);
        const QPixmap picture = thumbnail ? thumbnail(name) : QPixmap();
        if (!picture.isNull()) {
            button->setIcon(picture.scaledToWidth(kThumbWidth, Qt::SmoothTransformation));
            button->setIconSize(QSize(kThumbWidth, kThumbWidth * qMax(1, screen.height) / qMax(1, screen.width)));
        }
        if (name == m_preselected) {
            button->setDefault(true);
            button->setFocus();
        }
        connect(button, &QPushButton::clicked, this, [this, name] { pick(name); });
        row->addWidget(button);
    }
    column->addLayout(row);
    auto *cancel = new QPushButton(KLLocalizedString(QStringLiteral("CANCEL")), this);
    cancel->setObjectName(QStringLiteral("screen-picker-cancel"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    column->addWidget(cancel, 0, Qt::AlignRight);
}

QStringList KLScreenPicker::offeredScreens() const
{
    return m_offered;
}

QPushButton *KLScreenPicker::buttonFor(const QString &screenName) const
{
    return findChild<QPushButton *>(QStringLiteral("screen-picker-%1").arg(screenName));
}

void KLScreenPicker::pick(const QString &screenName)
{
    auto chosen = m_chosen;
    accept();
    if (chosen)
        chosen(screenName);
}

QList<KLScreenInfo> KLScreenPicker::systemScreens()
{
    return KLScreens::all();
}

QPixmap KLScreenPicker::grabThumbnail(const QString &screenName)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    QScreen *screen = KLScreens::named(screenName);
    return screen ? screen->grabWindow(0).scaledToWidth(kThumbWidth, Qt::SmoothTransformation) : QPixmap();
}
