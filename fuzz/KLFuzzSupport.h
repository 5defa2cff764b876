#pragma once

// What every fuzz target shares: a Qt application created once, log lines discarded (the
// fuzzer runs millions of inputs; a console line each would be most of its time), the bytes of
// one input as JSON, and a small meeting (a real participant registry with the fake engine,
// the real signalling event handler over it) for the targets that feed member data and pushes.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class KLParticipantRegistry;
class KLSignalingEventHandler;
class KLToastManager;

namespace klfuzz {

/// Once per process: the application object, a throw-away settings folder and a silent logger.
void initialise();

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

/// The input read as a JSON document: the object, an array's first object, or an empty object.
QJsonObject objectOf(const QByteArray &input);
/// The input read as a JSON document's value: an object or an array, undefined otherwise.
QJsonValue valueOf(const QByteArray &input);

/// Lets the main thread's event loop run until `done` or `milliseconds` pass.
void spin(int milliseconds, const std::function<bool()> &done = {});

/// One meeting: the publisher "me" and three members (two persons, one meeting room) in a
/// real registry, and a handler reading pushes into it. Each input gets a fresh one, so that
/// a crash found replays from its input alone.
class Meeting {
public:
    Meeting();
    ~Meeting();
    Meeting(const Meeting &) = delete;
    Meeting &operator=(const Meeting &) = delete;

    KLParticipantRegistry &registry();
    KLSignalingEventHandler &handler();
    /// Runs every registry list and choice once, as the views do after a change.
    void readBack();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace klfuzz
