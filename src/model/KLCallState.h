#pragma once

#include <QJsonObject>
#include <QString>

#include <atomic>
#include <memory>

class KLJSONReader;

/// The live call state of one participant (the "callState" object of a member). The
/// signalling handlers change it in place while other threads read it, so every field is an
/// atomic: a single field reads and writes safely from any thread, with the plain syntax
/// (`state->mute = 1`, `if (state->online == 1)`).
///
/// The first seven fields are tri-states: 1 yes, 0 no, -1 not reported. `multiScreen` is the
/// projection role: 0 none, 1 receiving a projection, 2 sending one.
class KLCallState {
public:
    KLCallState() = default;
    /// Copies field by field (each field on its own, not the state as a whole).
    KLCallState(const KLCallState &other);
    KLCallState &operator=(const KLCallState &) = delete;

    std::atomic<qint64> hasVideo{0};
    std::atomic<qint64> mute{0};
    std::atomic<qint64> online{0};
    std::atomic<qint64> ringing{0};
    std::atomic<qint64> vmute{0};
    std::atomic<qint64> extension{0};
    std::atomic<qint64> cellphone{0};
    std::atomic<qint64> multiScreen{0};

    /// Builds a state from its JSON object; a missing key reads 0. Returns null and fills
    /// `error` (when given) if a value is not a number.
    static std::shared_ptr<KLCallState> createWithDictionary(const QJsonObject &dictionary,
                                                             QString *error = nullptr);
    /// Reads a state nested in a larger record; failures stay in `reader`.
    static std::shared_ptr<KLCallState> fromJson(KLJSONReader &reader);

    /// Back to "nothing known": not online and no projection role, every other state -1.
    void reset();

    QJsonObject toJson() const;

private:
    template <class Self, class Mapper>
    static void mapFields(Self &self, Mapper &mapper);
};
