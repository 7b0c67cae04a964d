#include "engine/OutputEngine.h"

#include "organ/Console.h"
#include "organ/OrganSpec.h"

#include <chrono>
#include <thread>

namespace corvinta {

namespace {
void IgnoreRequest(OutputEngine&, const OutputRequest&) {}
} // namespace

OutputEngine::OutputEngine(CConsole& console) : console_(console)
{
    handlers_.fill(&IgnoreRequest);
    minimumExpression_ = {0, 0};

    divisionCount_ = console_.DivisionCount();
    const auto n = static_cast<size_t>(divisionCount_);
    couplerMatrix_.resize(n * n);
    for (int d = 0; d < divisionCount_; ++d) {
        auto unison = std::make_unique<Coupler>();
        unison->stop = console_.Division(d).unisonOffStop;
        unison->transposition = 0;
        Couplers(d, d).push_back(std::move(unison));
    }
    activeStops_.resize(n);
    heldKeys_.resize(n);

    for (int r = 0; r < kRankSettingsCount; ++r) {
        auto rank = std::make_unique<CRank>();
        rank->name = std::string(kRanks[static_cast<size_t>(r)].name);
        rank->chamber = kRanks[static_cast<size_t>(r)].chamber;
        if (rank->name == "Traps")
            trapsRank_ = r;
        ranks_.push_back(std::move(rank));
    }
}

OutputEngine::~OutputEngine()
{
    // The owner stops the worker first; this only guards against a forgotten stop.
    if (worker_.Running()) {
        RequestExit();
        worker_.Join();
    }
    recording_ = false;
    couplerMatrix_.clear();
    activeStops_.clear();
    heldKeys_.clear();
    ranks_.clear();
}

void OutputEngine::Push(RequestType type, int32_t a, int32_t b, uint8_t c)
{
    TryPush(OutputRequest{type, a, b, c});
}

bool OutputEngine::TryPush(const OutputRequest& request)
{
    if (!ring_.TryPush(request)) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    pending_.fetch_add(1);
    msgEvent_.Set();
    return true;
}

bool OutputEngine::StartWorker()
{
    return worker_.Start([this] { OutputWorker(); });
}

void OutputEngine::RequestExit()
{
    exitEvent_.Set();
}

bool OutputEngine::StopWorker(int maxPolls, int pollMs)
{
    RequestExit();
    if (!worker_.Running())
        return true;
    for (int poll = 0; poll < maxPolls && !Stopped(); ++poll)
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    if (!Stopped())
        return false;
    worker_.Join();
    return true;
}

void OutputEngine::SetHold(bool hold)
{
    events_.Update([&] { hold_.store(hold); });
}

void OutputEngine::WakeIfPending()
{
    // A push may land between the count reaching 0 and the reset; it found
    // the event still set and did not set it again, so look once more.
    if (pending_.load() > 0)
        msgEvent_.Set();
}

void OutputEngine::OutputWorker()
{
    for (;;) {
        bool exit = false;
        events_.WaitUntil([&] {
            exit = exitEvent_.IsSet();
            return exit || (msgEvent_.IsSet() && !hold_.load());
        });
        if (exit)
            break;
        passes_.fetch_add(1, std::memory_order_relaxed);

        OutputRequest request;
        if (!ring_.TryPop(request)) {
            // A producer has claimed the next cell but not yet filled it.
            std::this_thread::yield();
            continue;
        }
        if (pending_.fetch_sub(1) == 1) {
            msgEvent_.Reset();
            WakeIfPending();
        }
        const auto type = static_cast<size_t>(request.type);
        if (type < handlers_.size())
            handlers_[type](*this, request);
    }
    stopped_.store(true);
}

} // namespace corvinta
