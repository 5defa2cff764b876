// The meeting-code entry drawn. The checks are KLMeetingCodeEntry's; this page shows their keys
// under the fields, keeps the join button's look and hands a valid link's UUID to the host.

#include <KelvoUISDK/KLUISDKMeetingCodeEntryView.h>

#include "host/UserPersistentData.h"
#include "runtime/KLLocalization.h"
#include "runtime/KLSDKLog.h"
#include "ui/KLTheme.h"
#include "window/KLMeetingCodeEntry.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const char *const kTag = "KLUISDKMeetingCodeEntryView";

QString text(const QString &key)
{
    return KLLocalizedString(key);
}

// One field with its clear button, warning icon and the line under it.
struct Field {
    QLineEdit *edit = nullptr;
    QLabel *warning = nullptr;
    QLabel *detail = nullptr;
    QString normalDetail;  ///< shown while there is no error (the code's hint)
    bool error = false;

    void setError(const QString &message)
    {
        error = !message.isEmpty();
        warning->setVisible(error);
        detail->setText(error ? message : normalDetail);
        detail->setVisible(!detail->text().isEmpty());
        detail->setStyleSheet(QStringLiteral("color: %1;").arg(error ? QStringLiteral("#F03118") : QStringLiteral("#8A97A8")));
        edit->setStyleSheet(QStringLiteral("QLineEdit { background: white; color: %1; border: 1px solid %2; border-radius: 6px;"
                                           " padding: 0 10px; }")
                                .arg(KLTheme::kTextDark,
                                     error ? QStringLiteral("#F03118") : KLTheme::color(QStringLiteral("#1F3858"), 0.3).name(QColor::HexArgb)));
    }
};
} // namespace

struct KLUISDKMeetingCodeEntryView::Private {
    Field name;
    Field code;
    QPushButton *join = nullptr;
    QLabel *downloadText = nullptr;
    QPushButton *download = nullptr;
    bool shouldUpdate = false;
    QString downloadUrl;
    std::function<void(const QString &)> enter;
};

KLUISDKMeetingCodeEntryView::KLUISDKMeetingCodeEntryView(QWidget *parent) : QWidget(parent), d(std::make_unique<Private>())
{
    setObjectName(QStringLiteral("meeting-code-entry"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, KLTheme::color(KLTheme::kWindowBackground));
    setPalette(pal);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(40, 32, 40, 32);
    column->setSpacing(8);
    auto *title = new QLabel(text(QStringLiteral("ENTER_MEETING_TITLE")), this);
    title->setFont(KLTheme::font(20, true));
    title->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextDark));
    column->addWidget(title);
    column->addSpacing(12);

    auto build = [this, column](Field &field, const char *placeholder, const char *objectName) {
        auto *row = new QHBoxLayout;
        field.edit = new QLineEdit(this);
        field.edit->setObjectName(QLatin1String(objectName));
        field.edit->setPlaceholderText(text(QLatin1String(placeholder)));
        field.edit->setFont(KLTheme::font(15));
        field.edit->setMinimumHeight(40);
        field.edit->setMinimumWidth(320);
        field.edit->setClearButtonEnabled(true);
        field.warning = new QLabel(this);
        field.warning->setPixmap(KLTheme::iconPixmap(QStringLiteral("conf_dialog_warn"), QSize(16, 16), devicePixelRatioF()));
        row->addWidget(field.edit, 1);
        row->addWidget(field.warning);
        column->addLayout(row);
        field.detail = new QLabel(this);
        field.detail->setFont(KLTheme::font(12));
        field.detail->setWordWrap(true);
        column->addWidget(field.detail);
        field.setError(QString());
    };
    build(d->name, "ENTER_MEETING_NAME", "code-entry-name");
    d->code.normalDetail = text(QStringLiteral("MEETING_CODE_DETAIL"));
    build(d->code, "ENTER_MEETING_CODE", "code-entry-code");
    QFont spaced = KLTheme::font(15);
    spaced.setLetterSpacing(QFont::AbsoluteSpacing, 10);
    d->code.edit->setFont(spaced);

    column->addSpacing(12);
    d->join = new QPushButton(text(QStringLiteral("ENTER_MEETING_JOIN")), this);
    d->join->setObjectName(QStringLiteral("code-entry-join"));
    d->join->setFont(KLTheme::font(15, true));
    d->join->setMinimumHeight(42);
    column->addWidget(d->join);

    d->downloadText = new QLabel(text(QStringLiteral("ENTER_MEETING_DOWNLOAD_DESC")), this);
    d->downloadText->setWordWrap(true);
    d->downloadText->setFont(KLTheme::font(13));
    d->downloadText->setStyleSheet(QStringLiteral("color: %1;").arg(KLTheme::kTextDark));
    d->download = new QPushButton(text(QStringLiteral("ENTER_MEETING_DOWNLOAD")), this);
    d->download->setFont(KLTheme::font(13));
    d->downloadText->hide();
    d->download->hide();
    column->addWidget(d->downloadText);
    column->addWidget(d->download, 0, Qt::AlignLeft);
    column->addStretch(1);

    auto refreshJoin = [this] {
        const bool active = isJoinEnabled();
        d->join->setCursor(active ? Qt::PointingHandCursor : Qt::ArrowCursor);
        d->join->setStyleSheet(active ? QStringLiteral("QPushButton { background: #0079F2; color: white; border: none; border-radius: 6px; }"
                                                       " QPushButton:hover { background: #1986F3; }")
                                      : QStringLiteral("QPushButton { background: #B2D6FB; color: white; border: none; border-radius: 6px; }"));
    };
    connect(d->name.edit, &QLineEdit::textChanged, this, [this, refreshJoin] {
        d->name.setError(QString());
        refreshJoin();
    });
    connect(d->code.edit, &QLineEdit::textChanged, this, [this, refreshJoin] {
        d->code.setError(QString());
        refreshJoin();
    });
    connect(d->join, &QPushButton::clicked, this, [this] { join(); });
    connect(d->download, &QPushButton::clicked, this, [this] {
        if (d->downloadUrl.isEmpty() || !QDesktopServices::openUrl(QUrl(d->downloadUrl)))
            KL_LOG_WARN(kTag, QStringLiteral("no download page to open"));
    });
    d->name.edit->setText(UserPersistentData::sharedInstance().readVanNames());
    refreshJoin();
}

KLUISDKMeetingCodeEntryView::~KLUISDKMeetingCodeEntryView() = default;

void KLUISDKMeetingCodeEntryView::setEnterMeetingHandler(std::function<void(const QString &)> handler)
{
    d->enter = std::move(handler);
}

void KLUISDKMeetingCodeEntryView::setShouldUpdate(bool shouldUpdate, const QString &downloadUrl)
{
    d->shouldUpdate = shouldUpdate;
    d->downloadUrl = downloadUrl;
}

void KLUISDKMeetingCodeEntryView::setDisplayName(const QString &name)
{
    d->name.edit->setText(name);
}

void KLUISDKMeetingCodeEntryView::setMeetingCode(const QString &codeOrLink)
{
    d->code.edit->setText(codeOrLink);
}

QString KLUISDKMeetingCodeEntryView::displayName() const
{
    return d->name.edit->text();
}

QString KLUISDKMeetingCodeEntryView::meetingCode() const
{
    return d->code.edit->text();
}

bool KLUISDKMeetingCodeEntryView::isJoinEnabled() const
{
    return KLMeetingCodeEntry::canJoin(displayName(), meetingCode());
}

void KLUISDKMeetingCodeEntryView::join()
{
    if (!isJoinEnabled())
        return;
    const KLMeetingCodeEntryResult result = KLMeetingCodeEntry::join(displayName(), meetingCode(), d->shouldUpdate);
    if (result.showDownload) {
        d->downloadText->show();
        d->download->show();
        return;
    }
    d->name.setError(result.nameErrorKey.isEmpty() ? QString() : text(result.nameErrorKey));
    d->code.setError(result.codeErrorKey.isEmpty() ? QString() : text(result.codeErrorKey));
    if (result.nameErrorKey.isEmpty() && result.codeErrorKey.isEmpty() && !result.meetingId.isEmpty() && d->enter)
        d->enter(result.meetingId);
}

QString KLUISDKMeetingCodeEntryView::nameError() const
{
    return d->name.error ? d->name.detail->text() : QString();
}

QString KLUISDKMeetingCodeEntryView::codeError() const
{
    return d->code.error ? d->code.detail->text() : QString();
}

bool KLUISDKMeetingCodeEntryView::isDownloadShown() const
{
    return !d->download->isHidden();
}
