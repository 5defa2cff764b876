#include "ui/share/KLScreenPicker.h"

#include "runtime/KLLocalization.h"
#include "ui/KLTheme.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace {
constexpr int kThumbWidth = 200;
}

KLScreenPicker::KLScreenPicker(QWidget *parent, std::function<void(const QString &)> chosen)
    : QDialog(parent), m_chosen(std::move(chosen))
{
    setObjectName(QStringLiteral("screen-picker"));
    setWindowTitle(KLLocalizedString(QStringLiteral("SHARE_PICK_SCREEN_TITLE")));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *column = new QVBoxLayout(this);
    auto *title = new QLabel(KLLocalizedString(QStringLiteral("SHARE_PICK_SCREEN_TITLE")), this);
    title->setFont(KLTheme::font(15, true));
    column->addWidget(title);
    auto *row = new QHBoxLayout;
    row->setSpacing(12);
    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    int index = 0;
    for (QScreen *screen : QGuiApplication::screens()) {
        ++index;
        const QString name = screen->name();
        m_offered << name;
        auto *button = new QPushButton(this);
        button->setObjectName(QStringLiteral("screen-picker-%1").arg(name));
        button->setText(KLLocalizedString(QStringLiteral("SHARE_PICK_SCREEN_ITEM"))
                            .arg(index)
                            .arg(screen->size().width())
                            .arg(screen->size().height()));
        if (x11) {
            const QPixmap picture = screen->grabWindow(0);
            if (!picture.isNull()) {
                button->setIcon(picture.scaledToWidth(kThumbWidth, Qt::SmoothTransformation));
                button->setIconSize(QSize(kThumbWidth, kThumbWidth * screen->size().height() / qMax(1, screen->size().width())));
            }
        }
        connect(button, &QPushButton::clicked, this, [this, name] { pick(name); });
        row->addWidget(button);
    }
    column->addLayout(row);
    auto *cancel = new QPushButton(KLLocalizedString(QStringLiteral("CANCEL")), this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    column->addWidget(cancel, 0, Qt::AlignRight);
}

QStringList KLScreenPicker::offeredScreens() const
{
    return m_offered;
}

void KLScreenPicker::pick(const QString &screenName)
{
    auto chosen = m_chosen;
    accept();
    if (chosen)
        chosen(screenName);
}

bool KLScreenPicker::needed()
{
    return QGuiApplication::screens().size() > 1;
}
