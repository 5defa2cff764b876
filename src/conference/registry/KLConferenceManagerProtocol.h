#pragma once

// What feeds and views ask of the meeting they belong to. The conference service implements
// it; feeds hold it weakly, so a feed outliving its meeting finds nothing to call.

#include <memory>

class KLSDKMeetingApiProtocol;
class KLRTCMediaConnection;

class KLConferenceManagerProtocol {
public:
    virtual ~KLConferenceManagerProtocol() = default;

    /// The meeting-service operations of this meeting (signed HTTPS or over the signalling
    /// channel); null once the meeting has been torn down.
    virtual std::shared_ptr<KLSDKMeetingApiProtocol> meetingApi() const = 0;
    /// The live media connection, or null before it exists and after it was released.
    virtual std::shared_ptr<KLRTCMediaConnection> mediaConnection() const = 0;
};
