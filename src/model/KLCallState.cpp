#include "model/KLCallState.h"
#include "model/KLCallStateReset.h"

#include "model/KLJSONReader.h"
#include "model/KLJSONWriter.h"

KLCallState::KLCallState(const KLCallState &other)
    : hasVideo(other.hasVideo.load()), mute(other.mute.load()), online(other.online.load()),
      ringing(other.ringing.load()), vmute(other.vmute.load()),
      extension(other.extension.load()), cellphone(other.cellphone.load()),
      multiScreen(other.multiScreen.load())
{
}

template <class Self, class Mapper>
void KLCallState::mapFields(Self &self, Mapper &mapper)
{
    mapper.integer("hasVideo", self.hasVideo);
    mapper.integer("mute", self.mute);
    mapper.integer("online", self.online);
    mapper.integer("ringing", self.ringing);
    mapper.integer("vmute", self.vmute);
    mapper.integer("extension", self.extension);
    mapper.integer("cellphone", self.cellphone);
    mapper.integer("multiScreen", self.multiScreen);
}

std::shared_ptr<KLCallState> KLCallState::fromJson(KLJSONReader &reader)
{
    auto state = std::make_shared<KLCallState>();
    mapFields(*state, reader);
    return reader.failed() ? nullptr : state;
}

std::shared_ptr<KLCallState> KLCallState::createWithDictionary(const QJsonObject &dictionary,
                                                               QString *error)
{
    KLJSONReader reader(dictionary);
    std::shared_ptr<KLCallState> state = fromJson(reader);
    if (error)
        *error = reader.errorText(QStringLiteral("KLCallState"));
    return state;
}

void KLCallState::reset()
{
    KLResetCallStateFields(*this);
}

QJsonObject KLCallState::toJson() const
{
    KLJSONWriter writer;
    mapFields(*this, writer);
    return writer.object();
}
