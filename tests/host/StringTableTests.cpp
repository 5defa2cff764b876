#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(StringTable, BothLanguagesHaveTheSameSortedKeysAndRealTexts)
{
    QJsonObject tables[2];
    QStringList keys[2]; // in file order
    for (int i = 0; i < 2; ++i) {
        QFile file(QStringLiteral(":/kelvouisdk/strings/%1.json").arg(i == 0 ? "zh" : "en"));
        const QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        tables[i] = QJsonDocument::fromJson(content).object();
        static const QRegularExpression keyLine(QStringLiteral("^\\s*\"([^\"]+)\"\\s*:"), QRegularExpression::MultilineOption);
        for (auto it = keyLine.globalMatch(QString::fromUtf8(content)); it.hasNext();)
            keys[i] << it.next().captured(1);
    }
    ASSERT_FALSE(keys[0].isEmpty());
    EXPECT_EQ(keys[1], keys[0]);
    EXPECT_EQ(keys[0].size(), tables[0].size()); // one key a line, none twice
    QStringList sorted = keys[0];
    sorted.sort(Qt::CaseSensitive);
    EXPECT_EQ(keys[0], sorted);
    for (const QString &key : keys[0]) {
        for (const QJsonObject &table : tables)
            EXPECT_FALSE(table.value(key).toString().trimmed().isEmpty()) << key.toStdString();
    }
    EXPECT_EQ(tables[0].value("APPLICATION_LANGUAGE_FLAG").toString(), QStringLiteral("中文"));
    EXPECT_NE(tables[1].value("APPLICATION_LANGUAGE_FLAG").toString(), QStringLiteral("中文"));
}
