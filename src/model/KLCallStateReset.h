#pragma once

/// The reset shared by the live call state and the host's copy of it: online and projection
/// role become 0 (not in the meeting, no role), every other state -1 (not reported).
template <typename CallState>
void KLResetCallStateFields(CallState &state)
{
    state.online = 0;
    state.ringing = -1;
    state.vmute = -1;
    state.mute = -1;
    state.hasVideo = -1;
    state.extension = -1;
    state.cellphone = -1;
    state.multiScreen = 0;
}
