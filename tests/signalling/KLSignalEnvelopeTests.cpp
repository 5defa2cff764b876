// Envelopes and pushes as the channel reads and writes them.

#include "gateway/KLSDKMeetingWSSApi.h"
#include "signalling/KLSDKApiChannelRequest.h"
#include "signalling/KLSignalingMessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(KLSignalEnvelope, RequestCarriesExactlyNineKeysPrettyPrinted)
{
    auto request = KLSDKApiChannelRequest::make("meeting_control", "mute", {{"status", "true"}});
    const QRegularExpression uuid("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    EXPECT_TRUE(uuid.match(request->requestId).hasMatch()) << request->requestId.toStdString();
    EXPECT_NE(request->requestId, request->messageId);
    EXPECT_EQ(request->arriveTime, request->bornTime);
    const QJsonObject wire = request->toJSONObject();
    EXPECT_EQ(QStringList(wire.keys()),
              (QStringList{"arriveTime", "body", "bornTime", "from", "messageId", "messageType",
                           "requestId", "to", "topic"}));
    EXPECT_TRUE(request->toJSONString().contains("\n    \"body\": {"));
    EXPECT_EQ(QJsonDocument::fromJson(request->toJSONString().toUtf8()).object(), wire);
}

TEST(KLSignalEnvelope, ResponseFallsBackToBodyAndReadsWrongTypesAsEmpty)
{
    const auto withBody = KLSDKApiChannelResponse::initWithDict(
        {{"response", true}, {"responseCode", 200}, {"data", QJsonValue::Null}, {"body", QJsonObject{{"k", 1}}}});
    EXPECT_TRUE(withBody.response);
    EXPECT_EQ(withBody.data.value("k").toInt(), 1);
    const auto wrong = KLSDKApiChannelResponse::initWithDict(
        {{"response", "yes"}, {"responseCode", "200"}, {"requestId", 7}, {"data", QJsonObject{{"d", 2}}}});
    EXPECT_FALSE(wrong.response);
    EXPECT_EQ(wrong.responseCode, 0);
    EXPECT_TRUE(wrong.requestId.isEmpty());
    EXPECT_EQ(wrong.data.value("d").toInt(), 2);
}

TEST(KLSignalEnvelope, PushesNameTheirEventAndMember)
{
    const QJsonObject online{{"data", QJsonObject{{"type", "event"},
                                                  {"body", QJsonObject{{"eventId", 1}, {"memberUUID", "M-1"}}}}}};
    KLSignalingMessage message = KLSignalingMessage::initWithMessageSource(1, online);
    EXPECT_EQ(message.source, 1);
    EXPECT_EQ(message.messageType, 1);
    EXPECT_EQ(message.memberUUID, "M-1");
    EXPECT_EQ(message.messBody.toObject().value("eventId").toInt(), 1);

    const QJsonObject summary{{"data", QJsonObject{{"type", "summary"},
                                                   {"body", QJsonObject{{"sessionId", "M-2vantorameeting77"}}}}}};
    message = KLSignalingMessage::initWithMessageSource(1, summary);
    EXPECT_EQ(message.messageType, 11);
    EXPECT_EQ(message.memberUUID, "M-2");
    const QJsonObject foreignSession{{"data", QJsonObject{{"type", "summary"},
                                                          {"body", QJsonObject{{"sessionId", "S-9"}}}}}};
    EXPECT_EQ(KLSignalingMessage::initWithMessageSource(1, foreignSession).memberUUID, "S-9");

    const QJsonObject noEvent{{"data", QJsonObject{{"body", QJsonObject{{"memberUUID", "M-3"}}}}}};
    EXPECT_EQ(KLSignalingMessage::initWithMessageSource(1, noEvent).messageType, 0);
    // A key equal to the whole path wins over the nested walk.
    EXPECT_EQ(KLSignalingMessage::valueAtPath({{"data.body", 5}, {"data", QJsonObject{{"body", 6}}}}, "data.body").toInt(), 5);
    EXPECT_TRUE(KLSignalingMessage::valueAtPath({{"data", QJsonArray{}}}, "data.body").isUndefined());
    EXPECT_TRUE(KLSignalingMessage::valueAtPath({{"data", QJsonObject{{"body", QJsonValue::Null}}}}, "data.body.x").isUndefined());
    EXPECT_EQ(KLSignalingMessage::valueAtPath({{"a", QJsonObject{{"b", QJsonObject{{"c", 7}}}}}}, "a.b.c").toInt(), 7);
    // The same precedence for every field of a push: whole keys beside a nested body.
    const QJsonObject spelt{{"data.body", QJsonObject{{"eventId", 9}}},
                            {"data.body.eventId", "4"},
                            {"data.body.memberUUID", "M-whole"},
                            {"data", QJsonObject{{"type", "event"}, {"body", QJsonObject{{"eventId", 2}, {"memberUUID", "M-nested"}}}}}};
    message = KLSignalingMessage::initWithMessageSource(1, spelt);
    EXPECT_EQ(message.messageType, 4);
    EXPECT_EQ(message.memberUUID, "M-whole");
    EXPECT_EQ(message.messBody.toObject().value("eventId").toInt(), 9);
    const QJsonObject halfSpelt{{"data.type", "summary"},
                                {"data", QJsonObject{{"body", QJsonObject{{"sessionId", "M-5vantorameetingX"}}}}}};
    message = KLSignalingMessage::initWithMessageSource(1, halfSpelt);
    EXPECT_EQ(message.messageType, 11);
    EXPECT_EQ(message.memberUUID, "M-5");
}

TEST(KLSignalEnvelope, ModelTextNamesThePlatformInLowerCase)
{
    const QString model = KLSDKMeetingWSSApi::modelInfo();
    EXPECT_TRUE(model.startsWith("linux/pc/"));
    EXPECT_EQ(model, model.toLower());
    EXPECT_GT(model.size(), QStringLiteral("linux/pc/").size());
}
