// The settings dialog's model without a window: what its cells show and
// take, how a division's second-touch partner follows it, and OK's checks.

#include "organ/Console.h"
#include "organ/SettingsEdit.h"
#include "organ/SettingsMenus.h"
#include "platform/RecordingUserMessages.h"

#include <gtest/gtest.h>

#include <functional>

using namespace corvinta;
using namespace corvinta::settings_menus;

namespace {

struct Edit : ::testing::Test {
    RecordingUserMessages messages;
    CConsole console{messages};
    void SetUp() override
    {
        console.Build();
        console.inputDevicesPresent = {"Swell keyboard", "Great keyboard"};
        console.inputDevicesInUse = {0, 1};
        console.outputDevicesPresent = {"Module"};
    }
};

TEST(SettingsMenus, NotesPansAndStepsReadAsTheDialogShowsThem)
{
    EXPECT_EQ(NoteName(0), "C00");
    EXPECT_EQ(NoteName(11), "B00");
    EXPECT_EQ(NoteName(12), "C0");
    EXPECT_EQ(NoteName(60), "C4");
    EXPECT_EQ(NoteName(61), "C#4");
    EXPECT_EQ(NoteName(127), "G9");
    std::vector<std::string> pans;
    for (int p = -8; p <= 8; ++p)
        pans.push_back(PanLabel(p));
    EXPECT_EQ(pans.size(), 17u);
    EXPECT_EQ(pans.front(), "L 8");
    EXPECT_EQ(pans[8], "C");
    EXPECT_EQ(pans.back(), "R 8");
    // MIDI values shown as the nearest step, and the steps' own values kept.
    for (const auto& [volume, step] : {std::pair{127, 16}, {7, 1}, {95, 12}, {0, 1}})
        EXPECT_EQ(VolumeStepOf(volume), step) << volume;
    for (const auto& [pan, step] : {std::pair{127, 8}, {64, 0}, {0, -8}, {100, 4}})
        EXPECT_EQ(PanStepOf(pan), step) << pan;
    EXPECT_EQ(kTranspositions.size(), 5u);
    EXPECT_EQ(128 / kNumbersPerColumn, 8) << "the programs' menu: 128 in eight columns of 16";
}

TEST_F(Edit, AManualsSecondTouchPartnerFollowsEveryColumnButItsOwnChannel)
{
    SettingsEdit edit(console);
    ASSERT_EQ(edit.InputCell(0, kInputDivision), console.Division(0).name);
    const int partner = console.Division(0).secondTouchDivision;
    const struct {
        int column, value;
    } edits[] = {{kInputDevice, 1}, {kInputLow, 36}, {kInputHigh, 96}, {kInputTranspose, -12},
                 {kInputMethod, 1}, {kInputPressure, 40}, {kInputChannel, 4}, {kInputPartnerChannel, 9}};
    for (const auto& e : edits)
        edit.SetInputCell(0, e.column, e.value);
    const DIVSETTINGS& solo = edit.Settings().divisions[0];
    const DIVSETTINGS& second = edit.Settings().divisions[static_cast<size_t>(partner)];
    EXPECT_EQ(second.deviceId, 1);
    EXPECT_EQ(second.lowNote, 36);
    EXPECT_EQ(second.highNote, 96);
    EXPECT_EQ(second.transpose, -12);
    EXPECT_EQ(second.secondTouchMethod, 1);
    EXPECT_EQ(second.pressureThreshold, 40);
    EXPECT_EQ(solo.channel, 4);
    EXPECT_EQ(second.channel, 9);
    EXPECT_EQ(edit.InputCell(0, kInputLow), "C2");
    EXPECT_EQ(edit.InputCell(0, kInputMethod), "Key");
    EXPECT_EQ(edit.InputCell(0, kInputPartnerChannel), "10");
    // The auxiliary row takes only a device and a channel.
    const int aux = edit.InputRowCount() - 1;
    EXPECT_EQ(edit.InputCell(aux, kInputDivision), "<auxiliary>");
    EXPECT_FALSE(edit.InputCellEditable(aux, kInputLow));
    EXPECT_TRUE(edit.InputCellEditable(aux, kInputChannel));
}

TEST_F(Edit, ADeletedDeviceLeavesItsDivisionsListeningToEveryDevice)
{
    SettingsEdit edit(console);
    edit.SetInputCell(0, kInputDevice, 1);
    edit.Settings().divisions[0].name = "1";
    edit.DeleteInputDevice(1);
    EXPECT_EQ(edit.ActiveInputs(), std::vector<uint16_t>{0});
    for (int d : {0, console.Division(0).secondTouchDivision}) {
        EXPECT_EQ(edit.Settings().divisions[static_cast<size_t>(d)].deviceId, kNoDevice);
        EXPECT_TRUE(edit.Settings().divisions[static_cast<size_t>(d)].name.empty());
    }
    RecordingUserMessages quiet;
    const auto edited = edit.Confirm(quiet);
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->inputDevicesInUse, std::vector<std::string>{"Swell keyboard"});
}

TEST_F(Edit, WithoutOutputsTheRanksKeepTheirValuesAndStayOnFluidSynth)
{
    console.outputDevicesPresent.clear();
    SettingsEdit edit(console);
    EXPECT_FALSE(edit.OutputsEnabled());
    const RNKSETTINGS before = edit.Settings().ranks[3];
    EXPECT_EQ(edit.RankCell(3, kRankVolume), std::to_string(VolumeStepOf(before.volume)));
    EXPECT_EQ(edit.RankCell(3, kRankDevice), "Corvinta Fluidsynth");
    edit.SetRankCell(3, kRankDevice, 0);
    EXPECT_EQ(edit.Settings().ranks[3].deviceId, before.deviceId);
    // FluidSynth needs no MIDI output: its channel stays the organist's to choose.
    edit.SetRankCell(3, kRankChannel, 9);
    EXPECT_EQ(edit.Settings().ranks[3].channel, 9);
    RecordingUserMessages quiet;
    quiet.Answer(MessageAnswer::Yes);
    const auto edited = edit.Confirm(quiet);
    ASSERT_TRUE(edited);
    EXPECT_FALSE(edited->volumeSteps[3]) << "a volume nobody edited is not converted";
}

TEST_F(Edit, OkChecksInOrderAndSaysWhatIsWrong)
{
    const struct {
        const char* name;
        std::function<void(SettingsEdit&)> spoil;
        const char* message;
    } cases[] = {
        {"channel 17 on a device", [](SettingsEdit& e) { e.SetRankCell(0, kRankDevice, 0); e.SetRankCell(0, kRankChannel, 16); },
         "Please select 'Corvinta Fluidsynth' device for ranks with channel value greater than 16"},
        {"closed above open", [](SettingsEdit& e) { e.Settings().calibration[2] = {100, 90}; },
         "\"Closed\" value cannot be greater than \"Open\"."},
        {"no piston note", [](SettingsEdit& e) { e.pistonSoundText.clear(); }, "Please specify piston sound note"},
        {"piston note 128", [](SettingsEdit& e) { e.pistonSoundText = "128"; }, "Piston sound note cannot be greater than 127"},
        {"swell threshold 128", [](SettingsEdit& e) { e.swellThresholdText = "128"; }, "Please enter an integer between 0 and 127."},
        {"pizzicato 40", [](SettingsEdit& e) { e.pizzicatoText = "40"; }, "Please enter an integer between 50 and 1000."},
        // Checked first: the channel's fault shows, not the later ones.
        {"two faults", [](SettingsEdit& e) { e.SetRankCell(0, kRankDevice, 0); e.SetRankCell(0, kRankChannel, 16); e.pistonSoundText.clear(); },
         "Please select 'Corvinta Fluidsynth' device for ranks with channel value greater than 16"},
    };
    for (const auto& c : cases) {
        SettingsEdit edit(console);
        // Ranks apart, so the shared-channel question does not come first.
        for (int r = 0; r < edit.RankRowCount(); ++r)
            edit.Settings().ranks[static_cast<size_t>(r)].channel = r;
        c.spoil(edit);
        RecordingUserMessages seen;
        EXPECT_FALSE(edit.Confirm(seen)) << c.name;
        ASSERT_EQ(seen.Shown().size(), 1u) << c.name;
        EXPECT_EQ(seen.Shown()[0].text, c.message) << c.name;
        EXPECT_EQ(seen.Shown()[0].icon, MessageIcon::Warning) << c.name;
    }

    // Channel 17 is fine on FluidSynth; the piston sound may be switched off.
    SettingsEdit edit(console);
    edit.SetRankCell(0, kRankChannel, 16);
    edit.pistonSoundEnabled = false;
    edit.pistonSoundText.clear();
    // Ranks sharing a device and a channel: one question however many pairs.
    RecordingUserMessages asked;
    asked.Answer(MessageAnswer::No);
    EXPECT_FALSE(edit.Confirm(asked));
    EXPECT_EQ(asked.Shown().size(), 1u);
    asked.Answer(MessageAnswer::Yes);
    const auto edited = edit.Confirm(asked);
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->settings.console.pistonSound, -1);
    EXPECT_EQ(edited->settings.ranks[0].channel, 16);
}

TEST_F(Edit, TheControlListShowsAndSetsEachPartOfAnAssignment)
{
    SettingsEdit edit(console);
    // Solo stop 7, "\n\n8\nTIBIA\n": drawn by controller 81 value 7 on the control entry.
    EXPECT_EQ(edit.ControlCell(ControlPage::Stops, 0, 7, 0), "8 TIBIA");
    EXPECT_EQ(edit.ControlCell(ControlPage::Stops, 0, 7, 1), "aux");
    EXPECT_EQ(edit.ControlCell(ControlPage::Stops, 0, 7, 2), "81");
    EXPECT_EQ(edit.ControlCell(ControlPage::Stops, 0, 7, 3), "7");
    EXPECT_EQ(edit.StopGroups().back(), "Tremulants");
    edit.SetControlCell(ControlPage::Stops, 0, 7, 1, 2);  // on the Accompaniment's input
    edit.SetControlCell(ControlPage::Stops, 0, 7, 2, 20); // controller 20
    edit.SetControlCell(ControlPage::Stops, 0, 7, 3, 64); // value 64
    EXPECT_EQ(edit.ControlCell(ControlPage::Stops, 0, 7, 1), console.Division(2).name);
    EXPECT_EQ(edit.Controls().controllers[ControlWorkingCopy::OnSlot(7)], ControlCode(2, 20, 64));
    // A piston's five levels answer on the input chosen for it.
    edit.SetControlCell(ControlPage::Pistons, 0, 0, 3, 50); // PC +1
    edit.SetControlCell(ControlPage::Pistons, 0, 0, 1, 4);  // ON: the Pedal's input
    EXPECT_EQ(RoutingEntryOf(edit.Controls().programs[ControlWorkingCopy::PistonSlot(0, 1)]), 4);
    EXPECT_EQ(edit.ControlCellMenu(ControlPage::Expression, 0, 3, 3), ControlMenu::None) << "the memory level has no range";
    EXPECT_EQ(edit.ControlCellMenu(ControlPage::Expression, 0, 0, 3), ControlMenu::Numbers);

    RecordingUserMessages quiet;
    quiet.Answer(MessageAnswer::Yes);
    const auto edited = edit.Confirm(quiet);
    ASSERT_TRUE(edited);
    const auto* items = edited->assignments.device.controllers.ItemsFor(ControlCode(2, 20, 64));
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(items->front(), StopItemCode(0, 7, true));
}

TEST(SettingsEditFonts, TheBankOffsetMustBeGivenAndBetween0And127)
{
    EXPECT_EQ(SettingsEdit::BankOffsetProblem(""), "Please specify bank offset.");
    for (const char* accepted : {"0", "25", "127"})
        EXPECT_EQ(SettingsEdit::BankOffsetProblem(accepted), "") << accepted;
    for (const char* refused : {"128", "-1", "x"})
        EXPECT_EQ(SettingsEdit::BankOffsetProblem(refused), "Bank offset must be between 0 and 127.") << refused;
}

} // namespace
