#include "engine/OutputEngine.h"

#include "organ/Console.h"
#include "organ/OrganTables.h"


namespace corvinta {

namespace {
void IgnoreRequest(OutputEngine&, const OutputRequest&) {}
} // namespace

OutputEngine::OutputEngine(CConsole& console, EngineParts parts)
    : console_(console), midi_(parts.midi), observer_(parts.observer)
{
    FillHandlerTable();
    queue_.SetIdleWork([this] { HandleKeptReleases(); });
    SetMinimumExpression(0);

    // Every coupling record the matrix can ever hold exists from the start,
    // so drawing a coupler allocates nothing on the worker: one per stop tab,
    // then one unison record per division.
    divisionCount_ = console_.DivisionCount();
    const auto n = static_cast<size_t>(divisionCount_);
    for (int i = 0; i < kStopCount + divisionCount_; ++i)
        couplerPool_.push_back(std::make_unique<Coupler>());
    couplerMatrix_.resize(n * n);
    for (auto& list : couplerMatrix_)
        list.reserve(static_cast<size_t>(kStopCount) + 1);
    for (int d = 0; d < divisionCount_; ++d) {
        Coupler* unison = couplerPool_[static_cast<size_t>(kStopCount + d)].get();
        unison->stop = console_.Division(d).unisonOffStop;
        unison->transposition = 0;
        Couplers(d, d).push_back(unison);
    }
    activeStops_.resize(n);
    heldKeys_.resize(n);
    for (int d = 0; d < divisionCount_; ++d) {
        activeStops_[static_cast<size_t>(d)].reserve(static_cast<size_t>(console_.Division(d).stopCount));
        heldKeys_[static_cast<size_t>(d)].reserve(128);
    }

    for (int r = 0; r < kRankSettingsCount; ++r) {
        auto rank = std::make_unique<CRank>();
        const RankDefinition& def = kRanks[static_cast<size_t>(r)];
        rank->name = std::string(def.name);
        rank->chamber = def.chamber < 0 ? kChamberNone : static_cast<uint8_t>(def.chamber);
        if (rank->name == "Traps")
            trapsRank_ = r;
        ranks_.push_back(std::move(rank));
    }

    if (parts.startSynth) {
        synth_ = std::make_unique<FluidSynthHost>(console_, parts.synth);
        synthFailed_ = !synth_->StartSynth();
    }
    OpenOutputsLocal();
    SetupRankVoicesLocal();
}

OutputEngine::~OutputEngine()
{
    // The owner stops the worker first; this only guards against a forgotten stop.
    queue_.Stop(0, 0);
    recording_ = false;
    synth_.reset();
    couplerMatrix_.clear();
    couplerPool_.clear();
    activeStops_.clear();
    heldKeys_.clear();
    CloseOutputsLocal();
    ranks_.clear();
}

void OutputEngine::FillHandlerTable()
{
    handlers_.fill(&IgnoreRequest);
    auto set = [this](RequestType t, Handler h) { handlers_[static_cast<size_t>(t)] = h; };
    set(RequestType::KeyNote, &KeyHandler);
    set(RequestType::RankStop, &StopHandler);
    set(RequestType::FixedNoteStop, &StopHandler);
    set(RequestType::PatchSwitchStop, &StopHandler);
    set(RequestType::CouplerStop, &CouplerHandler);
    set(RequestType::QuietCouplerStop, &CouplerHandler);
    set(RequestType::Tremulant, &TremulantHandler);
    set(RequestType::EffectStop, &EffectStopHandler);
    set(RequestType::Expression, &ExpressionHandler);
    set(RequestType::RankNote, &RankNoteHandler);
}

void OutputEngine::Push(RequestType type, int32_t a, int32_t b, uint8_t c)
{
    TryPush(OutputRequest{type, a, b, c});
}

bool OutputEngine::TryPush(const OutputRequest& request)
{
    const bool key = request.type == RequestType::KeyNote;
    const bool rankNote = request.type == RequestType::RankNote;
    if (request.c > 0 && ((key && !keyReleases_.AdmitsPress(request.a, request.b)) ||
                          (rankNote && !rankReleases_.AdmitsPress(request.a, request.b))))
        return false;
    if (queue_.TryPush(Queued{request, notesOff_.load()}))
        return true;
    bool kept = false;
    if (request.c == 0 && key)
        kept = keyReleases_.Keep(request.a, request.b);
    else if (request.c == 0 && rankNote)
        kept = rankReleases_.Keep(request.a, request.b);
    if (kept)
        queue_.Wake();
    return kept;
}

void OutputEngine::HandleKeptReleases()
{
    keyReleases_.Take([this](int division, int note) { Handle(OutputRequest{RequestType::KeyNote, division, note, 0}); });
    rankReleases_.Take([this](int rank, int note) { Handle(OutputRequest{RequestType::RankNote, rank, note, 0}); });
}

bool OutputEngine::StartWorker()
{
    return queue_.Start([this](const Queued& q) { HandleQueued(q); });
}

int OutputEngine::HandlePending()
{
    return queue_.DrainHere([this](const Queued& q) { HandleQueued(q); });
}

void OutputEngine::HandleQueued(const Queued& queued)
{
    const RequestType type = queued.request.type;
    if ((type == RequestType::KeyNote || type == RequestType::RankNote) && queued.notesOff != notesOff_.load())
        return; // queued before the panic silenced everything and forgot the held keys
    Handle(queued.request);
}

void OutputEngine::RequestExit()
{
    queue_.RequestExit();
}

bool OutputEngine::StopWorker(int maxPolls, int pollMs)
{
    return queue_.Stop(maxPolls, pollMs);
}

void OutputEngine::SetHold(bool hold)
{
    queue_.SetHeld(hold);
}

IRecorderSink* OutputEngine::SwapRecorder(IRecorderSink* next)
{
    std::lock_guard lock(handlerMutex_);
    return recorder_.exchange(next);
}

void OutputEngine::Handle(const OutputRequest& request)
{
    const auto type = static_cast<size_t>(request.type);
    if (type >= handlers_.size())
        return;
    std::lock_guard lock(handlerMutex_);
    handlers_[type](*this, request);
}

} // namespace corvinta
