#pragma once
// The one object through which everything that sounds leaves the organ.
// Producers describe console events as OutputRequests; one worker thread
// takes them in order and hands each to the handler for its type.

#include "engine/MessageSink.h"
#include "engine/Rank.h"
#include "organ/ConsoleTab.h"
#include "organ/Coupler.h"
#include "organ/OrganTables.h"
#include "organ/OutputRequest.h"
#include "platform/MidiSystem.h"
#include "platform/ReleaseBacklog.h"
#include "platform/WorkQueue.h"
#include "synth/FluidSynthHost.h"

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace corvinta {

class CConsole;

// What the engine is built with besides the console.
struct EngineParts {
    IMidiSystem* midi = nullptr;           // MIDI output devices; null for none
    SynthOptions synth;                    // FluidSynth's audio driver
    bool startSynth = true;                // false: no FluidSynth at all (device-only tests)
    IRankSendObserver* observer = nullptr; // sees every rank message (the MIDI log)
};

class OutputEngine final : public IOutputQueue {
public:
    using Handler = void (*)(OutputEngine&, const OutputRequest&);

    explicit OutputEngine(CConsole& console, EngineParts parts = {});
    ~OutputEngine() override;
    OutputEngine(const OutputEngine&) = delete;
    OutputEngine& operator=(const OutputEngine&) = delete;

    // Safe from any thread; never blocks, except on a thread inside a RoomWait
    // (the input worker), which waits for room instead of dropping. Otherwise
    // a push into a full ring is dropped and counted rather than overwriting
    // a request that is still waiting;
    // a key or rank note release is kept aside instead, and handled once the
    // ring has been emptied, so a burst never leaves a pipe sounding; until
    // then a press of that key is refused, so it cannot overtake its release.
    void Push(RequestType type, int32_t a, int32_t b, uint8_t c) override;
    // The same, telling whether the request was queued or kept.
    bool TryPush(const OutputRequest& request);

    // Starts the output worker at normal priority; false if no thread could be made.
    bool StartWorker();
    // Handles every pending request on the calling thread; only without a worker.
    int HandlePending();
    // Signals the exit event; the worker sets the stopped flag and ends.
    void RequestExit();
    bool Stopped() const { return queue_.Stopped(); }
    // Signals exit and polls the stopped flag every pollMs, at most maxPolls
    // times. True when the worker stopped in time or never ran.
    bool StopWorker(int maxPolls = 300, int pollMs = 100);
    // Lets go of a worker that did not stop: closing goes on without it, and
    // the engine must then outlive the process's work.
    void DetachWorker() { queue_.Detach(); }

    // While held the worker leaves requests queued; it waits, it does not spin.
    void SetHold(bool hold) override;
    bool Held() const { return queue_.Held(); }

    // Requests refused because the ring was full, or presses refused because
    // their key's release was still waiting for room.
    uint64_t DroppedRequests() const
    {
        return queue_.Dropped() + keyReleases_.RefusedPresses() + rankReleases_.RefusedPresses();
    }

    // How many requests the worker has taken and how often it woke; for tests
    // and diagnostics.
    uint64_t WorkerPasses() const { return queue_.Passes(); }

    // Replaces the handler for one request type.
    void SetHandler(RequestType type, Handler handler) { handlers_[static_cast<size_t>(type)] = handler; }
    Handler HandlerFor(RequestType type) const { return handlers_[static_cast<size_t>(type)]; }

    CConsole& Console() { return console_; }
    int DivisionCount() const { return divisionCount_; }

    // Couplings that let keys of source play the stops of target (only the
    // worker touches these).
    std::vector<Coupler*>& Couplers(int source, int target)
    {
        return couplerMatrix_[static_cast<size_t>(source * divisionCount_ + target)];
    }
    std::vector<uint32_t>& ActiveStops(int division) { return activeStops_[static_cast<size_t>(division)]; }
    std::vector<uint16_t>& HeldKeys(int division) { return heldKeys_[static_cast<size_t>(division)]; }

    int RankCount() const { return static_cast<int>(ranks_.size()); }
    CRank& Rank(int r) { return *ranks_[static_cast<size_t>(r)]; }
    int TrapsRank() const { return trapsRank_; }

    uint8_t MinimumExpression(int shoe) const
    {
        return minimumExpression_[static_cast<size_t>(shoe)].load(std::memory_order_relaxed);
    }
    // Safe from any thread while the worker runs: each shoe's level is read
    // whole by the next expression request.
    void SetMinimumExpression(uint8_t level)
    {
        for (auto& minimum : minimumExpression_)
            minimum.store(level, std::memory_order_relaxed);
    }

    bool Recording() const { return recording_.load(); }

    // Rank voicing, on the worker unless said otherwise.
    void RankSend(int rank, uint32_t message);
    void RankNoteCounted(int rank, int note, uint8_t velocity);
    void RetriggerRank(int rank);
    // Device management: construction, panic, input hold and settings; the
    // console holds the worker around them where it suspends input.
    void OpenOutputs();
    void CloseOutputs();
    void AllNotesOff() override;
    void SetupRankVoices();
    void ReportOutputError(const std::string& error, int deviceId);
    // An output device that went away while the organ plays: its ranks fall
    // silent (true when the organ had it open). From a thread that is not
    // real-time; the port is closed outside the worker's lock.
    bool OutputGone(int deviceId);
    // The device came back: opened again, and its ranks voiced again (bank,
    // program, volume, pan, expression, tremulants) before their next note.
    // False with the reason when it would not open; false with none when
    // no rank uses it.
    bool OutputBack(int deviceId, std::string& error);

    // The recorder receives console messages while recording is on.
    void SetRecorder(IRecorderSink* recorder) { recorder_.store(recorder); }
    void SetRecording(bool on) { recording_.store(on); }
    // Installs a new recorder under the handler lock and returns the one it
    // replaces: once this returns, the worker is not inside the old one and
    // never reaches it again, so the caller may save and destroy it.
    IRecorderSink* SwapRecorder(IRecorderSink* next);

    FluidSynthHost* Synth() { return synth_.get(); }
    bool SynthFailed() const { return synthFailed_; }
    int OpenOutputCount() const { return static_cast<int>(outputs_.size()); }

    // The request handlers, one per request type.
    static void KeyHandler(OutputEngine&, const OutputRequest&);
    static void StopHandler(OutputEngine&, const OutputRequest&);
    static void CouplerHandler(OutputEngine&, const OutputRequest&);
    static void TremulantHandler(OutputEngine&, const OutputRequest&);
    static void EffectStopHandler(OutputEngine&, const OutputRequest&);
    static void ExpressionHandler(OutputEngine&, const OutputRequest&);
    static void RankNoteHandler(OutputEngine&, const OutputRequest&);

    // The division whose output channel carries a division's console messages.
    static constexpr uint8_t kDivisionOutputChannel[6] = {0, 10, 1, 11, 2, 12};

private:
    void Handle(const OutputRequest& request);
    void FillHandlerTable();
    // The same operations without taking the handler lock (FluidSynth's _LOCAL idiom).
    void OpenOutputsLocal();
    void CloseOutputsLocal();
    void AllNotesOffLocal();
    void SetupRankVoicesLocal();
    void SetupRankVoiceLocal(int rank, int program);
    int OutputSlotOf(int deviceId) const;
    void RevoiceRanksLocal(int slot);
    void EchoConsoleMessage(uint32_t message);
    // The controller message that draws (on) or cancels an item, to the take and merged output.
    void EchoControl(const ControlAssignment& assignment, bool on);
    // Whether a patch-switch stop other than this one holds the rank on its second patch.
    bool OtherPatchSwitchDrawn(int division, int stopIndex, int rank);
    void SendToMerged(uint32_t message);
    template <class Sound>
    void ForEachPipe(int source, const Coupler& coupler, int stopDivision, int stopIndex, int key, Sound sound);

    void HandleKeptReleases();

    // A request as the ring holds it: key and rank notes carry the count of
    // notes-off they were queued after, so those queued before the latest
    // notes-off are dropped rather than sounding after it.
    struct Queued {
        OutputRequest request;
        uint32_t notesOff = 0;
    };
    void HandleQueued(const Queued& queued);

    // The ring of 256 requests and the output worker that empties it.
    WorkQueue<Queued, 256> queue_;
    ReleaseBacklog keyReleases_{kDivisionCount};
    ReleaseBacklog rankReleases_{kRankCount};
    std::atomic<uint32_t> notesOff_{0}; // raised by AllNotesOff, any thread

    std::array<Handler, kRequestTypeCount> handlers_{};
    // Held by the worker while a handler runs, and by the few operations that
    // touch organ-output state from other threads (panic, settings).
    std::mutex handlerMutex_;
    int divisionCount_ = 0;

    // Organ-output state: only the worker's handlers touch it.
    std::vector<std::unique_ptr<Coupler>> couplerPool_; // every record the matrix can hold
    std::vector<std::vector<Coupler*>> couplerMatrix_;
    std::vector<std::vector<uint32_t>> activeStops_;
    std::vector<std::vector<uint16_t>> heldKeys_;

    CConsole& console_;

    IMidiSystem* midi_;
    std::vector<std::unique_ptr<IMidiOutputPort>> outputs_; // null while its device is away
    std::vector<int> outputDevice_; // device id of each open output
    std::unique_ptr<FluidSynthHost> synth_;
    bool synthFailed_ = false;
    IRankSendObserver* observer_;
    std::atomic<IRecorderSink*> recorder_{nullptr};

    std::vector<std::unique_ptr<CRank>> ranks_;
    int trapsRank_ = 0;
    std::array<std::atomic<uint8_t>, 2> minimumExpression_{};
    // What the worker last sent, for a device that comes back: each shoe's
    // expression level and which tremulants are on.
    std::array<uint8_t, 2> expressionLevel_{127, 127};
    std::bitset<32> tremulantsOn_;
    std::atomic<bool> recording_{false};
};

} // namespace corvinta
