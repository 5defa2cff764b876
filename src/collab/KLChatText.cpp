#include "collab/KLChatText.h"

namespace KLChatText {

QString normalized(const QString &text)
{
    QString result = text.trimmed();
    result.remove(QLatin1Char('\r'));
    result.remove(QLatin1Char('\n'));
    return result;
}

QStringList pieces(const QString &text)
{
    const QString message = normalized(text);
    QStringList result;
    for (qsizetype start = 0; start < message.size(); start += kPieceLength)
        result.append(message.mid(start, kPieceLength));
    return result;
}

QString bubbleText(const QString &senderName, const QString &message)
{
    return QStringLiteral("%1\uFF1A%2").arg(senderName, message);
}

QSize bubbleSize(int textWidth, int textHeight)
{
    const int lineSpacing = 3 * (textHeight / 17);
    return QSize(textWidth + 76, textHeight + 34 + lineSpacing);
}

} // namespace KLChatText
