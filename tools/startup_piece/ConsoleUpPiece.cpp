#include "tools/startup_piece/ConsoleUpPiece.h"

#include "organ/OrganTables.h"

#include <initializer_list>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

namespace corvinta::startup {

namespace {

// The default assignments: controller 81 value n draws item n on the control
// channel, controller 80 value n cancels it.
constexpr uint8_t kDrawController = 81;
constexpr uint8_t kCancelController = 80;

int Division(std::string_view name)
{
    for (int d = 0; d < kDivisionCount; ++d)
        if (kDivisions[d].name == name)
            return d;
    throw std::logic_error("no division " + std::string(name));
}

int Stop(std::string_view division, std::string_view label)
{
    const int d = Division(division);
    for (int i = 0; i < kDivisions[d].stopCount; ++i)
        if (kStops[StopItem(d, i)].label == label)
            return StopItem(d, i);
    throw std::logic_error("no stop " + std::string(label) + " on " + std::string(division));
}

class Score {
public:
    Score() : m_file(kTicksPerQuarter, kMicrosecondsPerQuarter, "Console Up") {}

    void Draw(double beat, std::initializer_list<int> items)
    {
        for (int item : items) {
            Control(beat, kDrawController, item);
            m_drawn.insert(item);
        }
    }
    void Cancel(double beat, std::initializer_list<int> items)
    {
        for (int item : items) {
            Control(beat, kCancelController, item);
            m_drawn.erase(item);
        }
    }
    // Leaves the console as a new one is: nothing drawn but `keep`.
    void CancelAllBut(double beat, int keep)
    {
        for (int item : m_drawn)
            if (item != keep)
                Control(beat, kCancelController, item);
        m_drawn.clear();
    }
    // Both swell shoes, moved from `from` to `to` over `beats`.
    void Swell(double beat, int from, int to, double beats = 0)
    {
        const int steps = beats > 0 ? 16 : 0;
        for (int s = 0; s <= steps; ++s) {
            const int value = steps ? from + (to - from) * s / steps : to;
            for (int shoe : {kSwellMain, kSwellSolo})
                Control(beat + (steps ? beats * s / steps : 0), kAuxControls[shoe].controller, value, shoe);
        }
    }
    void Play(std::string_view division, double beat, double beats, std::initializer_list<int> notes)
    {
        const auto channel = uint8_t(kDivisions[Division(division)].defaultInputChannel);
        for (int n : notes) {
            m_file.Add(Tick(beat), uint8_t(0x90 | channel), uint8_t(n), 100);
            m_file.Add(Tick(beat + beats), uint8_t(0x80 | channel), uint8_t(n), 0);
        }
    }
    // A run of single notes, `each` beats apiece.
    void Run(std::string_view division, double beat, double each, std::initializer_list<int> notes)
    {
        for (int n : notes) {
            Play(division, beat, each * 0.9, {n});
            beat += each;
        }
    }
    midi::CMidiFileWriter File() const { return m_file; }

private:
    static uint32_t Tick(double beat) { return uint32_t(beat * kTicksPerQuarter + 0.5); }
    void Control(double beat, uint8_t controller, int value, int aux = kSwellMain)
    {
        m_file.Add(Tick(beat), uint8_t(0xB0 | kAuxControls[aux].channel), controller, uint8_t(value));
    }

    midi::CMidiFileWriter m_file;
    std::set<int> m_drawn;
};

} // namespace

midi::CMidiFileWriter ComposeConsoleUp()
{
    Score s;
    const int mainTrem = TremulantItem(kTremMain), tibiaTrem = TremulantItem(kTremTibia);
    const int tubaTrem = TremulantItem(kTremTuba), voxTrem = TremulantItem(kTremVox);
    const int soloTrem = TremulantItem(kTremSolo);

    // The console rises: Tibias and Tuba over strings, the swells opening.
    s.Swell(0, 50, 50);
    s.Draw(0, {Stop("Solo", "\n\n8\nTUBA\n"), Stop("Solo", "\n\n8\nTIBIA\n"), Stop("Solo", "\n\n4\nTIBIA\n"),
               Stop("Solo", "\n\n8\nOBOE\n"), Stop("Accomp.", "\n\n8\nTIBIA\n"), Stop("Accomp.", "\n\n8\nDIA\n"),
               Stop("Accomp.", "\n\n8\nVIOL\n"), Stop("Accomp.", "\n\n8\nCLST\n"), Stop("Accomp.", "\n\n4\nFLUTE\n"),
               Stop("Pedal", "\n\n16\nBOUR\n"), Stop("Pedal", "\n\n16\nDIA\n"), Stop("Pedal", "\n\n8\nFLUTE\n"),
               mainTrem, tibiaTrem, tubaTrem, soloTrem});
    s.Swell(1, 50, 127, 4);
    s.Run("Solo", 1, 1.0 / 3, {67, 72, 76});
    s.Play("Solo", 2, 0.95, {79});
    s.Run("Solo", 3, 0.5, {76, 79});
    s.Play("Solo", 4, 1.9, {84});
    s.Play("Accomp.", 1, 4, {52, 55, 60});
    s.Play("Pedal", 1, 4, {36});
    s.Run("Solo", 5, 1, {81, 79});
    s.Run("Solo", 7, 0.5, {77, 76});
    s.Play("Solo", 8, 0.95, {74});
    s.Play("Accomp.", 5, 2, {53, 57, 60});
    s.Play("Accomp.", 7, 2, {53, 55, 59});
    s.Play("Pedal", 5, 2, {41});
    s.Play("Pedal", 7, 2, {43});

    // A sweet interlude: Vox and Glockenspiel, the swells half closed.
    s.Cancel(9, {Stop("Solo", "\n\n8\nTUBA\n"), Stop("Solo", "\n\n8\nOBOE\n")});
    s.Draw(9, {Stop("Solo", "\n\n8\nVOX\n"), Stop("Solo", "\n\n\nGLOCK\n"), Stop("Accomp.", "\n\n\nCHRY\n"), voxTrem});
    s.Swell(9, 127, 90, 1);
    s.Play("Solo", 9, 1.45, {76});
    s.Run("Solo", 10.5, 0.5, {74});
    s.Run("Solo", 11, 1, {72, 76});
    s.Play("Solo", 13, 1.9, {79});
    s.Run("Solo", 15, 1, {77, 74});
    s.Play("Accomp.", 9, 2, {52, 55, 60});
    s.Play("Accomp.", 11, 2, {52, 57, 60});
    s.Play("Accomp.", 13, 2, {50, 53, 57});
    s.Play("Accomp.", 15, 2, {50, 53, 55, 59});
    s.Run("Pedal", 9, 2, {36, 45, 38, 43});

    // Full organ: Tubas, octave coupler, a snare under the oom-pah, and a
    // bass drum and crash on the last chord.
    s.Cancel(17, {Stop("Solo", "\n\n8\nVOX\n"), Stop("Solo", "\n\n\nGLOCK\n"), Stop("Accomp.", "\n\n\nCHRY\n")});
    s.Draw(17, {Stop("Solo", "\n\n16\nTUBA\n"), Stop("Solo", "\n\n8\nTUBA\n"), Stop("Solo", "\n\n4\nTUBA\n"),
                Stop("Solo", "\n\n8\nDIA\n"), Stop("Solo", "\n\n\nOCT\n"), Stop("Accomp.", "\n\n8\nTUBA\n"),
                Stop("Accomp.", "\n\nSNRE\nDRUM\n"), Stop("Pedal", "\n\n16\nTUBA\n"), Stop("Pedal", "\n\n8\nTUBA\n")});
    s.Swell(17, 90, 127, 2);
    s.Run("Solo", 17, 0.5, {72, 76, 79, 84});
    s.Play("Solo", 19, 0.95, {88});
    s.Run("Solo", 20, 0.5, {86, 84});
    s.Run("Solo", 21, 1, {83, 79});
    s.Run("Solo", 23, 0.25, {72, 74, 76, 77, 79, 81, 83, 84});
    for (int beat = 17; beat < 23; ++beat) {
        const bool dominant = beat >= 21;
        s.Play("Pedal", beat, 0.45, {beat % 2 ? (dominant ? 43 : 36) : (dominant ? 38 : 43)});
        s.Play("Accomp.", beat + 0.5, 0.4, {dominant ? 50 : 52, dominant ? 55 : 55, dominant ? 59 : 60});
    }
    s.Play("Accomp.", 23, 1.9, {50, 53, 55, 59});
    s.Play("Pedal", 23, 1.9, {43});
    s.Cancel(24.5, {Stop("Accomp.", "\n\nSNRE\nDRUM\n")});
    s.Draw(24.5, {Stop("Pedal Traps 2T", "\nBASS\nDRUM\n"), Stop("Pedal Traps 2T", "\nCRSH\nCYMB\n"),
                  Stop("Pedal", "\nPED\nTRAPS\n")});
    s.Play("Solo", 25, 4, {76, 79, 84});
    s.Play("Accomp.", 25, 4, {48, 52, 55, 60});
    s.Play("Pedal", 25, 4, {36});

    // The Pedal Traps coupler is drawn on a new console; it stays.
    s.CancelAllBut(30, Stop("Pedal", "\nPED\nTRAPS\n"));
    return s.File();
}

} // namespace corvinta::startup
