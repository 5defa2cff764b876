// A member list: the join reply's list registered in the registry (which already knows four
// members, so updates and additions both happen), and the directory's participant records.

#include "KLFuzzSupport.h"

#include "conference/registry/KLParticipantRegistry.h"
#include "model/KLParticipant.h"
#include "window/KLInvitationViewController.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    klfuzz::initialise();
    const QJsonValue value = klfuzz::valueOf(klfuzz::bytes(data, size));
    // The list itself, or the join reply around it.
    const QJsonArray list = value.isArray() ? value.toArray()
                                            : value.toObject().value(QLatin1String("memberList")).toArray();
    klfuzz::Meeting meeting;
    meeting.registry().addParticipants(list);
    meeting.readBack();
    for (const auto &participant : KLInvitationViewController::participantsFrom(list))
        KLInvitationViewController::isSameInvitee(*participant, *participant);
    return 0;
}
