// A signalling push as the conference service receives it: the message read from the frame's
// object, then the event handler acting on a real participant registry.

#include "KLFuzzSupport.h"

#include "conference/events/KLSignalingEventHandler.h"
#include "signalling/KLSignalingMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    klfuzz::initialise();
    const QJsonObject object = klfuzz::objectOf(klfuzz::bytes(data, size));
    klfuzz::Meeting meeting;
    meeting.handler().handleKelvoSignalingMessage(KLSignalingMessage::initWithMessageSource(1, object));
    meeting.readBack();
    return 0;
}
