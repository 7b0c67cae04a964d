#pragma once
// The console: owner of the organ model (divisions, stops, tremulants,
// pistons, input devices) and of the user's settings. The window shows it
// and the engine sounds it, but it lives here, without either.

#include "organ/AuxControl.h"
#include "organ/ConsoleDisplay.h"
#include "organ/ControlAssignments.h"
#include "organ/Division.h"
#include "organ/ItemSet.h"
#include "organ/MidiInDevice.h"
#include "organ/OutputRequest.h"
#include "organ/Piston.h"
#include "organ/Settings.h"
#include "organ/Trem.h"
#include "platform/UserMessages.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace corvinta {

// The steps of building the model that later stages supply. Each may be left
// empty; the model is then built from the specification's defaults.
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

class CConsole {
public:
    CConsole(IUserMessages& messages, double scale = 1.0);
    ~CConsole();
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

    // Where output requests go; the engine connects itself after it is built.
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

    // Registration state.
    ItemSet registration;          // drawn items
    ItemSet previousRegistration;  // for "RES"
    bool registrationChanged = false;
    uint8_t memSelectionLevel = 0; // memory level of the MEM button selection
    bool useDefaultAssignments = true;

    // MIDI control assignments; they start as the defaults.
    ControlAssignments assignments = DefaultControlAssignments();

    // MIDI devices as the configuration refers to them and as the system has them.
    std::map<int, std::string> fileInputDevices;   // the configuration's "input-devices": file id -> name
    std::vector<std::string> inputDevicesPresent;  // system input devices; index = device id
    std::vector<uint16_t> inputDevicesInUse;       // active input device ids, in the order found
    std::vector<std::string> outputDevicesPresent; // external output devices; index = device id

private:
    void BuildDivisions();
    void BuildTremulants();
    void AssignDefaultControls();
    void BuildPistons(const ConsoleBuildSteps& steps);

    IUserMessages& messages_;
    double scale_;
    bool timerQueueAvailable_ = true;
    IOutputQueue* output_ = nullptr;
    NullConsoleDisplay nullDisplay_;
    IConsoleDisplay* display_ = &nullDisplay_;

    OrganSettings settings_;
    std::array<CAuxControl, kAuxControlCount> auxControls_{};
    std::vector<std::unique_ptr<CDivision>> divisions_;
    std::vector<std::unique_ptr<CTrem>> trems_;
    std::vector<std::unique_ptr<CPiston>> pistons_;
    std::vector<std::unique_ptr<CMidiInDevice>> midiInDevices_;
};

} // namespace corvinta
