#pragma once
// The console: owner of the organ model (divisions, stops, tremulants,
// pistons, input devices) and of the user's settings. The window shows it
// and the engine sounds it, but it lives here, without either.

#include "organ/AuxControl.h"
#include "organ/ConsoleDisplay.h"
#include "organ/ConsoleKeys.h"
#include "organ/ControlAssignments.h"
#include "organ/Division.h"
#include "organ/FastStop.h"
#include "organ/ItemSet.h"
#include "organ/MidiInDevice.h"
#include "organ/OutputRequest.h"
#include "organ/Piston.h"
#include "organ/Settings.h"
#include "organ/Trem.h"
#include "platform/UserMessages.h"

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <string>
#include <vector>

namespace corvinta {

// The steps of building the model that later stages supply. Each may be left
// empty; the model is then built from the organ's own defaults.
struct ConsoleBuildSteps {
    // Overwrites the defaults from the configuration file.
    std::function<void(CConsole&)> readConfiguration;
    // Turns stored device names into device ids.
    std::function<void(CConsole&)> resolveDevices;
    // Fills the control-assignment bytes of stops and tremulants.
    std::function<void(CConsole&)> assignControls;
    // Fills the pistons' memory; returns false to keep the built-in memory.
    std::function<bool(CConsole&)> loadCombinations;
};

// The two-state console buttons.
enum class LatchButton { Map = 0, Set = 1, Mem = 2 };

// Threads. The console is built, loaded and saved on the user-interface
// thread while no worker runs. Afterwards the MIDI input worker (through
// ProcessEvent) and the user-interface thread (through the IFastStop calls)
// both change the registration and the console's state, always under the
// console lock, stateMutex_. Settings, assignments and device lists change
// only on the user-interface thread, and only while input is held (at start,
// or while new settings are applied); the workers read them without a lock.
// The output worker reads the settings; requests reach it only through Push.
class CConsole : public IFastStop {
public:
    CConsole(IUserMessages& messages, double scale = 1.0);
    ~CConsole() override;
    CConsole(const CConsole&) = delete;
    CConsole& operator=(const CConsole&) = delete;

    // Builds the model in its fixed order; call once.
    void Build(const ConsoleBuildSteps& steps = {});

    int DivisionCount() const { return static_cast<int>(divisions_.size()); }
    int TremulantCount() const { return static_cast<int>(trems_.size()); }
    int PistonCount() const { return static_cast<int>(pistons_.size()); }
    int StopCount() const;

    CDivision& Division(int d) { return *divisions_[static_cast<size_t>(d)]; }
    CTrem& Trem(int t) { return *trems_[static_cast<size_t>(t)]; }
    CPiston& Piston(int p) { return *pistons_[static_cast<size_t>(p)]; }
    // Stop by global item number (0..94).
    CStop& StopByItem(int item);

    std::vector<std::unique_ptr<CMidiInDevice>>& MidiInDevices() { return midiInDevices_; }
    std::array<CAuxControl, kAuxControlCount>& AuxControls() { return auxControls_; }

    OrganSettings& Settings() { return settings_; }
    const OrganSettings& Settings() const { return settings_; }
    std::vector<DIVSETTINGS>& DivSettings() { return settings_.divisions; }
    std::vector<RNKSETTINGS>& RankSettings() { return settings_.ranks; }

    // Redone whenever use_tibia_unification changes.
    void ApplyTibiaUnification();

    // Where output requests go; the engine connects itself after it is built,
    // before any worker runs.
    void SetOutput(IOutputQueue* output) { output_ = output; }
    IOutputQueue* Output() const { return output_; }
    void Push(RequestType type, int32_t a, int32_t b, uint8_t c);

    void SetDisplay(IConsoleDisplay* display) { display_ = display ? display : &nullDisplay_; }
    IConsoleDisplay& Display() { return *display_; }
    IUserMessages& Messages() { return messages_; }

    double Scale() const { return scale_; }
    // Quiet couplers rely on the platform's timer queue; Linux always has timers.
    bool TimerQueueAvailable() const { return timerQueueAvailable_; }
    void SetTimerQueueAvailable(bool available) { timerQueueAvailable_ = available; }

    // Registration state: under the console lock once the workers run.
    ItemSet registration;          // drawn items
    ItemSet previousRegistration;  // for "RES"
    bool registrationChanged = false;
    uint8_t memSelectionLevel = 0; // memory level of the MEM button selection
    bool useDefaultAssignments = true;

    // MIDI control assignments; they start as the defaults. Changed on the
    // user-interface thread while input is held; read by the input worker.
    ControlAssignments assignments = DefaultControlAssignments();

    // MIDI devices as the configuration refers to them and as the system has
    // them: user-interface thread, while input is held. The two device lists
    // hold every device seen since start (an index is a device id for the
    // whole run) and grow while the organ plays, as devices are plugged in:
    // whoever reads or changes them, or opens or closes devices, while the
    // device watcher runs holds DeviceLock().
    std::map<int, std::string> fileInputDevices;   // the configuration's "input-devices": file id -> name
    std::vector<std::string> inputDevicesPresent;  // system input devices; index = device id
    std::vector<uint16_t> inputDevicesInUse;       // active input device ids, in the order found
    std::vector<std::string> outputDevicesPresent; // external output devices; index = device id
    // Inputs the configuration names that were not connected at start: one
    // that arrives while the organ plays is taken into use (AdoptInput).
    // Cleared once the organist chooses the inputs in the settings.
    std::vector<std::string> awaitedInputs;
    // Never held while waiting for the console lock or for room in a queue.
    std::mutex& DeviceLock() { return deviceMutex_; }
    // An awaited input has arrived: it joins the active devices, the
    // divisions the configuration sets on it listen to it, and routing is
    // rebuilt. On the input worker, in order with the events; takes the
    // device lock, then the console lock.
    void AdoptInput(uint16_t deviceId);

    // Event processing. The MIDI input worker calls ProcessEvent for every
    // queued event; the controls call the IFastStop operations on the UI
    // thread. Both take the console lock, so a piston pressed on screen and a
    // stop change arriving by MIDI never interleave inside one update.
    void ProcessEvent(uint32_t source, uint32_t message);
    void OnCommand(int command, int argument) override;
    void PlayKey(int division, int note, bool on, bool useSecondTouch) override;
    void RestoreFocus() override;
    // A momentary tab (an effect or toe stud) pressed or let go with the mouse or keys.
    void EffectTab(int item, bool pressed);
    // Stops every input and silences the organ, then starts again.
    void Panic();
    // The two halves of a panic, apart: while new settings are applied the
    // inputs stay stopped, the engine holds its requests and nothing sounds.
    void PauseInput();
    void ResumeInput();
    // Sends the shoes' positions and the tremulants' states again (new
    // outputs know nothing of them); requests wait while the engine holds.
    void ResendShoesAndTremulants();
    // Replaces every piston's memory at once, under the console lock, so a
    // piston fired by MIDI meanwhile sees the old memory or the new, whole.
    void InstallCombinations(const std::vector<PistonMemory>& memory);
    // Runs change with the console lock held (a memory level imported while the organ plays).
    void ChangeCombinations(const std::function<void()>& change);
    // A console key of the computer keyboard pressed or released; what it
    // asks of the window (the player, the re-layout) comes back.
    WindowKeyAction ConsoleKey(int virtualKey, bool released);
    // A shoe moved on screen: 0 Swell Main, 1 Swell Solo (0..127), 2 the
    // crescendo (its slider's stage 0..23).
    void ShoeFromScreen(int shoe, int position);
    // Hands the engine every stop, coupler and tremulant that the
    // registration holds: at start the registration comes from the
    // configuration file, which the engine never sees.
    void SoundRegistration();

    // Routing of (device, channel) to divisions; rebuilt when devices or
    // division settings change.
    void RebuildRouting();
    const std::vector<uint8_t>* RoutesFor(uint32_t sourceKey) const;
    // Fills the control bytes of stops and tremulants from the assignments in force.
    void FillControlBytes();

    // Set once at start, before input is enabled.
    void SetInputControl(IInputControl* inputs) { inputs_ = inputs; }

    // MAP, SET and MEM; their controls change them through OnCommand.
    bool Latched(LatchButton b) const { return latched_[static_cast<size_t>(b)]; }
    int CrescendoStage() const { return crescendoStage_; }
    uint8_t PreviousMemLevel() const { return previousMemLevel_; }
    // The traps rank that sounds the piston note.
    static constexpr int kTrapsRank = 9;

private:
    // Bodies that run with the console lock held.
    void ProcessEventLocked(uint32_t source, uint32_t message);
    void OnCommandLocked(int command, int argument);
    void SetLatched(LatchButton b, bool on);
    void ControllerItem(uint32_t itemCode);
    void ContinuousControl(int index, uint8_t value);
    void ProgramItem(uint32_t itemCode);
    void SetStop(int division, int index, bool drawn, bool updateButton);
    void SetTremulant(int tremulant, bool on, bool updateTab);
    void StopTab(int item, bool state);
    void RecordRegistration();
    void FirePiston(int command);
    void ApplyRegistration(const ItemSet& next);
    void CancelDivision(int division);
    void CancelTremulants();
    void GeneralCancel();
    void Restore();
    void Swell(int shoe, uint8_t value);
    void SetCrescendo(int value);
    void ReapplyCrescendo();
    void SelectMemoryLevel(int level);
    void PistonSound();
    void PanicLocked();
    void PauseInputLocked();
    void ResumeInputLocked();

    void BuildDivisions();
    void BuildTremulants();
    void AssignDefaultControls();
    void BuildPistons(const ConsoleBuildSteps& steps);

    // Fixed once the workers run.
    IUserMessages& messages_;
    double scale_;
    bool timerQueueAvailable_ = true;
    IOutputQueue* output_ = nullptr;
    NullConsoleDisplay nullDisplay_;
    IConsoleDisplay* display_ = &nullDisplay_;

    // Written on the user-interface thread while input is held; the workers read.
    OrganSettings settings_;
    std::array<CAuxControl, kAuxControlCount> auxControls_{};
    std::vector<std::unique_ptr<CDivision>> divisions_;
    std::vector<std::unique_ptr<CTrem>> trems_;
    std::vector<std::unique_ptr<CPiston>> pistons_;
    std::vector<std::unique_ptr<CMidiInDevice>> midiInDevices_;

    std::mutex deviceMutex_;
    std::mutex stateMutex_; // the console lock; guards what follows
    IInputControl* inputs_ = nullptr; // set once at start
    std::unordered_map<uint32_t, std::vector<uint8_t>> routing_;
    // MAP, SET, MEM: changed under the lock, read by the window without it.
    std::array<std::atomic<bool>, 3> latched_{};
    int crescendoStage_ = 0;         // 0..23
    std::array<uint8_t, 2> swell_{}; // the swell shoes' last positions
    ItemSet crescendoSet_;
    uint8_t previousMemLevel_ = 0;
};

} // namespace corvinta
