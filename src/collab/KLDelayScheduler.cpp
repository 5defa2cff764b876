#include "collab/KLDelayScheduler.h"

#include "runtime/KLMainThread.h"
#include "runtime/KLTimer.h"

#include <map>
#include <mutex>

namespace {

class KLTimerDelayScheduler final : public KLDelayScheduler,
                                    public std::enable_shared_from_this<KLTimerDelayScheduler> {
public:
    Token schedule(double seconds, KLBlock block) override
    {
        std::weak_ptr<KLTimerDelayScheduler> weak = weak_from_this();
        std::shared_ptr<KLTimer> timer;
        Token token = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            token = m_nextToken++;
            timer = std::make_shared<KLTimer>(seconds, false, [weak, token, block]() {
                auto self = weak.lock();
                if (self && self->take(token) && block)
                    block();
            });
            m_timers.emplace(token, timer);
        }
        timer->startTimer();
        return token;
    }

    void cancel(Token token) override
    {
        std::shared_ptr<KLTimer> timer;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = m_timers.find(token);
            if (it == m_timers.end())
                return;
            timer = std::move(it->second);
            m_timers.erase(it);
        }
        timer->stopTimer();
    }

private:
    // Called from the timer's own fire: the timer must not be destroyed inside its own
    // callback, so its last reference is handed to a later turn of the main loop.
    bool take(Token token)
    {
        std::shared_ptr<KLTimer> timer;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = m_timers.find(token);
            if (it == m_timers.end())
                return false;
            timer = std::move(it->second);
            m_timers.erase(it);
        }
        KLMainThread::post([timer]() {});
        return true;
    }

    std::mutex m_mutex;
    std::map<Token, std::shared_ptr<KLTimer>> m_timers;
    Token m_nextToken = 1;
};

} // namespace

std::shared_ptr<KLDelayScheduler> KLDelayScheduler::timerScheduler()
{
    return std::make_shared<KLTimerDelayScheduler>();
}
