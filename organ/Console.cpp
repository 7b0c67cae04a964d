#include "organ/Console.h"

#include <cassert>

namespace corvinta {

CConsole::CConsole(IUserMessages& messages, double scale) : messages_(messages), scale_(scale) {}

// Reverse order of creation.
CConsole::~CConsole()
{
    midiInDevices_.clear();
    pistons_.clear();
    trems_.clear();
    divisions_.clear();
}

void CConsole::Build(const ConsoleBuildSteps& steps)
{
    assert(divisions_.empty() && "the model is built once");

    // Settings records and console switches from the tables.
    settings_ = DefaultOrganSettings();
    for (int i = 0; i < kAuxControlCount; ++i) {
        const AuxControlDefinition& def = kAuxControls[i];
        auxControls_[i] = CAuxControl{std::string(def.name), def.channel, def.controller, def.channel, def.controller};
    }
    useDefaultAssignments = true;

    if (steps.readConfiguration)
        steps.readConfiguration(*this);
    ValidateSettings(settings_);
    if (settings_.soundFonts.empty())
        settings_.soundFonts.push_back({"Corvinta.sf2", 25});

    if (steps.resolveDevices)
        steps.resolveDevices(*this);
    ValidateRankChannels(settings_.ranks);

    BuildDivisions();
    BuildTremulants();
    AssignDefaultControls();
    if (steps.assignControls)
        steps.assignControls(*this);
    BuildPistons(steps);
    ApplyTibiaUnification();
}

void CConsole::BuildDivisions()
{
    int firstStop = 0;
    for (int d = 0; d < kDivisionCount; ++d) {
        auto division = std::make_unique<CDivision>(*this, d, scale_);
        division->firstStop = firstStop;
        for (int i = 0; i < division->stopCount; ++i) {
            const int item = firstStop + i;
            const StopDefinition& def = kStops[static_cast<size_t>(item)];
            auto stop = std::make_unique<CStop>();
            stop->label = std::string(def.label);
            stop->type = def.kind;
            stop->inverted = def.unisonOff;
            stop->number = item;
            stop->item = item;
            stop->rank = def.rankOrDivision;
            stop->pitch = static_cast<int8_t>(def.pitchOrNote);
            stop->tibiaAlternative = def.tibiaAlternative;
            stop->ranks = def.ranks;
            if (stop->type == StopKind::CouplerStop && stop->inverted)
                division->unisonOffStop = i;
            division->stops.push_back(std::move(stop));
        }
        firstStop += division->stopCount;
        divisions_.push_back(std::move(division));
    }
}

void CConsole::BuildTremulants()
{
    for (int t = 0; t < kTremulantCount; ++t) {
        const TremulantDefinition& def = kTremulants[t];
        auto trem = std::make_unique<CTrem>();
        trem->label = std::string(def.label);
        trem->type = StopKind::Tremulant;
        trem->number = def.tabNumber;
        trem->item = def.itemNumber;
        trem->rankMask = def.rankMask;
        trems_.push_back(std::move(trem));
    }
}

void CConsole::AssignDefaultControls()
{
    for (auto& division : divisions_)
        for (auto& stop : division->stops)
            stop->control = ControlAssignment::DefaultFor(stop->item);
    for (auto& trem : trems_)
        trem->control = ControlAssignment::DefaultFor(trem->item);
}

void CConsole::BuildPistons(const ConsoleBuildSteps& steps)
{
    for (int p = 0; p < kPistonCount; ++p) {
        const PistonDefinition& def = kPistons[p];
        auto piston = std::make_unique<CPiston>();
        piston->label = std::string(def.label);
        piston->type = StopKind::Piston;
        piston->number = PistonItem(p);
        piston->item = PistonItem(p);
        piston->key = def.key;
        piston->division = def.division;
        piston->SetDefaultMemory(p);
        pistons_.push_back(std::move(piston));
    }
    if (steps.loadCombinations && !steps.loadCombinations(*this))
        for (int p = 0; p < kPistonCount; ++p)
            pistons_[static_cast<size_t>(p)]->SetDefaultMemory(p);
}

void CConsole::ApplyTibiaUnification()
{
    const uint8_t shift = settings_.console.useTibiaUnification ? kTibiaRankShift : 0;
    for (auto& division : divisions_)
        for (auto& stop : division->stops)
            stop->rankShift = stop->tibiaAlternative ? shift : 0;
}

int CConsole::StopCount() const
{
    int count = 0;
    for (const auto& division : divisions_)
        count += division->stopCount;
    return count;
}

CStop& CConsole::StopByItem(int item)
{
    const int d = DivisionOfStop(item);
    return Division(d).Stop(item - Division(d).firstStop);
}

void CConsole::Push(RequestType type, int32_t a, int32_t b, uint8_t c)
{
    if (output_)
        output_->Push(type, a, b, c);
}

} // namespace corvinta
