// The whole organ played through its window: mouse, computer keys, shoes
// and the player's panel, with the ranks' MIDI log as the judge of what
// sounded and what was left sounding.

#include "FakeMidiSystem.h"
#include "PluggableMidi.h"
#include "RankLog.h"
#include "RegistrationPiece.h"
#include "app/CorvintaApp.h"
#include "platform/RecordingUserMessages.h"
#include "skin/SkinLibrary.h"
#include "persist/ConfigFile.h"
#include "ui/ConsoleMenu.h"
#include "ui/SettingsDialog.h"
#include "ui/SoundFontDialog.h"
#include "ui/SkinImages.h"

#include <fluidsynth.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

using namespace corvinta;
namespace fs = std::filesystem;

namespace {

using test::IsNoteOff;
using test::IsNoteOn;
using test::LoggedMessage;

std::vector<LoggedMessage> ReadLog(const fs::path& path) { return test::ReadRankLog(path); }

std::string Dump(const std::vector<LoggedMessage>& log)
{
    std::ostringstream out;
    for (const LoggedMessage& m : log)
        out << m.rank << ' ' << std::hex << m.status << ' ' << m.data1 << ' ' << m.data2 << std::dec << '\n';
    return out.str();
}

// Rank notes still sounding at the log's end: a note off or an all-notes-off
// (controller 123) ends them.
std::set<std::pair<int, unsigned>> LeftSounding(const std::vector<LoggedMessage>& log)
{
    std::set<std::pair<int, unsigned>> sounding;
    for (const LoggedMessage& m : log) {
        if (IsNoteOn(m))
            sounding.insert({m.rank, m.data1});
        else if (IsNoteOff(m))
            sounding.erase({m.rank, m.data1});
        else if ((m.status & 0xF0) == 0xB0 && m.data1 == 123)
            std::erase_if(sounding, [&](const auto& n) { return n.first == m.rank; });
    }
    return sounding;
}

std::vector<unsigned> NotesOn(const std::vector<LoggedMessage>& log, int rank)
{
    std::vector<unsigned> notes;
    for (const LoggedMessage& m : log)
        if (m.rank == rank && IsNoteOn(m))
            notes.push_back(m.data1);
    return notes;
}

// An organ started with its window at scale 1, in a folder of its own that
// already holds a configuration (so no start-up piece plays).
class Playing : public ::testing::Test {
protected:
    fs::path previous = fs::current_path();
    fs::path base;
    fs::path log;
    RecordingUserMessages messages;
    std::unique_ptr<CCorvintaApp> organ;
    std::unique_ptr<skin::SkinLibrary> library;
    std::unique_ptr<ui::ConsoleWindow> window;

    void SetUp() override
    {
        base = fs::temp_directory_path() / ("corvinta-window-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base);
        fs::create_directories(base / "corvinta");
        fs::current_path(base / "corvinta");
        ::setenv("XDG_CONFIG_HOME", base.c_str(), 1);
        log = base / "ranks.log";
        Start({"--audio-driver", "none"}); // a first run writes the configuration ...
        Close();
        Start({"--audio-driver", "none", "--midi-log", log.string()}); // ... which this one reads
    }
    void TearDown() override
    {
        Close();
        fs::current_path(previous);
        fs::remove_all(base);
    }

    void Start(const std::vector<std::string>& args, std::unique_ptr<IMidiSystem> midi = nullptr)
    {
        organ = std::make_unique<CCorvintaApp>(ParseCommandLine(args), messages);
        organ->UseMidiSystem(midi ? std::move(midi) : std::make_unique<test::FakeMidiSystem>(std::vector<std::string>{}));
        organ->UseWindow(1.0);
        ASSERT_EQ(organ->Start(), 0);
        library = std::make_unique<skin::SkinLibrary>(messages);
        ASSERT_TRUE(library->Open(SKIN_LIBRARY));
        window = ui::OpenConsoleWindow(*organ, *library, 1.0);
        ASSERT_TRUE(window);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    // Closes the window (and with it the organ) and returns what the ranks sent.
    std::vector<LoggedMessage> Close()
    {
        if (window)
            window->close();
        window.reset();
        organ.reset(); // the log is complete once the organ is gone
        library.reset();
        return ReadLog(log);
    }

    ui::ConsoleCanvas& Canvas() { return window->Canvas(); }
    const ui::ConsoleLayout& Layout() { return window->Canvas().Layout(); }
    void Draw(int item) { organ->Console().OnCommand(StopTabCommand(item), 1); }
    CStop& StopOfItem(int item) { return organ->Console().StopByItem(item); }

    void Move(QPoint p, Qt::MouseButtons held)
    {
        QMouseEvent move(QEvent::MouseMove, p, Canvas().mapToGlobal(p), Qt::NoButton, held, Qt::NoModifier);
        QApplication::sendEvent(&Canvas(), &move);
    }
    // The white keys along the bottom edge of a keyboard, left to right: (x, key index).
    std::vector<std::pair<int, int>> WhiteKeys(int division)
    {
        const QRect bounds = Layout().KeyboardBounds(division);
        const int y = bounds.bottom() - 2;
        std::vector<std::pair<int, int>> keys;
        int start = -1, key = -1;
        for (int x = bounds.left(); x <= bounds.right() + 1; ++x) {
            const int here = x <= bounds.right() ? Layout().KeyAt(division, QPoint(x, y)) : -1;
            if (here != key) {
                if (key >= 0)
                    keys.emplace_back((start + x - 1) / 2, key);
                key = here;
                start = x;
            }
        }
        return keys;
    }
    int KeyboardBottom(int division) { return Layout().KeyboardBounds(division).bottom() - 2; }
    int VoicesLeft() { return test::VoicesLeftAfterRelease(organ->Engine().Synth()->Synth()); }
};

TEST_F(Playing, AGlissandoSoundsEachKeyInTurnAndLeavesNothingSounding)
{
    constexpr int kSoloTibia = 7;
    Draw(kSoloTibia);
    const int rank = StopOfItem(kSoloTibia).rank;
    const auto keys = WhiteKeys(0);
    ASSERT_GE(keys.size(), 10u);
    const int y = KeyboardBottom(0);
    QTest::mousePress(&Canvas(), Qt::LeftButton, {}, QPoint(keys[2].first, y));
    for (size_t k = 3; k < 7; ++k)
        Move(QPoint(keys[k].first, y), Qt::LeftButton);
    QTest::mouseRelease(&Canvas(), Qt::LeftButton, {}, QPoint(keys[6].first, y));

    const auto logged = Close();
    const std::vector<unsigned> played = NotesOn(logged, rank);
    ASSERT_EQ(played.size(), 5u);
    for (size_t i = 0; i < played.size(); ++i) // each key once, in the order swept
        EXPECT_EQ(int(played[i]) - int(played[0]), keys[i + 2].second - keys[2].second);
    int offs = 0;
    for (const LoggedMessage& m : logged)
        offs += m.rank == rank && IsNoteOff(m);
    EXPECT_EQ(offs, 5);
    EXPECT_TRUE(LeftSounding(logged).empty());
}

TEST_F(Playing, TheRightButtonPlaysSecondTouchAndTheSpaceBarSecondTouchBeforeFirst)
{
    constexpr int kSoloTibia = 7;
    Draw(kSoloTibia);
    CDivision& secondTouch = organ->Console().Division(organ->Console().Division(0).secondTouchDivision);
    const int secondItem = secondTouch.Stop(0).item;
    Draw(secondItem);
    const int firstRank = StopOfItem(kSoloTibia).rank;
    const int secondRank = StopOfItem(secondItem).rank;
    ASSERT_NE(firstRank, secondRank);

    const auto keys = WhiteKeys(0);
    const QPoint key(keys[10].first, KeyboardBottom(0));
    QTest::mousePress(&Canvas(), Qt::RightButton, {}, key);
    QTest::mouseRelease(&Canvas(), Qt::RightButton, {}, key);

    QTest::keyPress(&Canvas(), Qt::Key_Space);
    QTest::keyPress(&Canvas(), Qt::Key_Z);
    QTest::keyRelease(&Canvas(), Qt::Key_Z);
    QTest::keyRelease(&Canvas(), Qt::Key_Space);

    const auto logged = Close();
    std::vector<int> ranksOn;
    for (const LoggedMessage& m : logged)
        if (IsNoteOn(m))
            ranksOn.push_back(m.rank);
    // The right button: second touch alone. Space and Z: second, then first.
    EXPECT_EQ(ranksOn, (std::vector<int>{secondRank, secondRank, firstRank}));
    EXPECT_TRUE(LeftSounding(logged).empty());
}

TEST_F(Playing, EscapeSilencesTheKeysHeldAndKeepsTheRegistration)
{
    constexpr int kSoloTibia = 7;
    Draw(kSoloTibia);
    const int rank = StopOfItem(kSoloTibia).rank;
    const ItemSet registration = organ->Console().registration;
    QTest::keyPress(&Canvas(), Qt::Key_Z);
    QTest::keyPress(&Canvas(), Qt::Key_C);
    // Both sound before the panic (notes still queued when it comes are never sounded).
    ASSERT_TRUE(QTest::qWaitFor([&] { return NotesOn(ReadLog(log), rank).size() == 2; }, 10000));
    QTest::keyPress(&Canvas(), Qt::Key_Escape);
    EXPECT_EQ(organ->Console().registration, registration);
    EXPECT_FALSE(Canvas().Keyboard(0)->ShownPressed(24)) << "the panic let the window's keys go";
    QTest::keyRelease(&Canvas(), Qt::Key_Escape);
    QTest::keyRelease(&Canvas(), Qt::Key_Z);
    QTest::keyRelease(&Canvas(), Qt::Key_C);
    EXPECT_EQ(VoicesLeft(), 0);
    const auto logged = Close();
    EXPECT_EQ(NotesOn(logged, rank).size(), 2u) << "and nothing sounded again after the panic";
}

TEST_F(Playing, ACrescendoDragStepsThroughEveryStageOnceAndEndsOnce)
{
    const ui::PlacedSlider* shoe = nullptr;
    for (const ui::PlacedSlider& s : Layout().sliders)
        if (s.shoe == kCrescendo && s.slider.thumb == ui::SkinSlider::Thumb::ShoeBody)
            shoe = &s;
    ASSERT_NE(shoe, nullptr);
    QSignalSpy ended(&Canvas(), &ui::ConsoleCanvas::SliderDragEnded);
    const int x = shoe->slider.rect.center().x();
    std::vector<int> stages;
    QTest::mousePress(&Canvas(), Qt::LeftButton, {}, QPoint(x, shoe->slider.rect.top()));
    for (int y = shoe->slider.rect.top(); y <= shoe->slider.rect.bottom(); ++y) {
        Move(QPoint(x, y), Qt::LeftButton);
        const int stage = organ->Console().CrescendoStage();
        if (stages.empty() || stages.back() != stage)
            stages.push_back(stage);
    }
    QTest::mouseRelease(&Canvas(), Qt::LeftButton, {}, QPoint(x, shoe->slider.rect.bottom()));
    std::vector<int> every(kPistonCount + 1);
    for (int s = 0; s <= kPistonCount; ++s)
        every[static_cast<size_t>(s)] = s;
    EXPECT_EQ(stages, every);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(window->Face().Shoe(kCrescendo), kPistonCount);

    // A click on the thumb where it stands changes nothing and ends nothing.
    const QRect thumb = shoe->slider.ThumbRect(kPistonCount);
    QTest::mouseClick(&Canvas(), Qt::LeftButton, {}, thumb.center());
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(Playing, AFileLoadedAndPlayedFromThePanelSoundsShowsItsTimeAndStopsClean)
{
    const fs::path piece = base / "piece.mid";
    ASSERT_TRUE(test::WriteRegistrationPiece(piece.string()));
    const auto button = [this](int id) {
        for (const auto& b : Layout().player.buttons)
            if (b.id == id)
                return b.shape.boundingRect().center();
        ADD_FAILURE() << "no button " << id;
        return QPoint();
    };
    // The Load button opens the file dialog; the organist picks the piece.
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->nameFilters().contains("MIDI Files (*.mid)"));
        dialog->selectFile(QString::fromStdString(piece.string()));
        static_cast<QDialog*>(dialog)->accept();
    });
    QTest::mouseClick(&Canvas(), Qt::LeftButton, {}, button(kPlayerLoadButton));
    MidiFilePlayer& player = *organ->Player();
    ASSERT_TRUE(player.Loaded());
    const QRect elapsed = Layout().player.elapsed;
    const QImage before = Canvas().grab(elapsed).toImage();

    QTest::mouseClick(&Canvas(), Qt::LeftButton, {}, button(kPlayerPlayButton));
    EXPECT_TRUE(player.PlayButtonDown());
    // The Solo's chord at half a second; the first tick at one.
    EXPECT_TRUE(QTest::qWaitFor([&] { return player.Elapsed() >= 1; }, 10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(player.ElapsedText(), "00:01");
    EXPECT_NE(Canvas().grab(elapsed).toImage(), before) << "the time is shown";

    QTest::mouseClick(&Canvas(), Qt::LeftButton, {}, button(kPlayerPlayButton)); // stop
    EXPECT_FALSE(player.Playing());
    EXPECT_FALSE(player.PlayButtonDown());
    EXPECT_EQ(VoicesLeft(), 0);
    const auto logged = Close();
    EXPECT_FALSE(NotesOn(logged, 6).empty()) << "the Solo's Tibia sounded the chord\n" << Dump(logged);
}

TEST_F(Playing, ARightClickAwayFromTheControlsOpensTheConsoleMenu)
{
    // On a stop tab the right button does nothing.
    const QPoint tab = Layout().ItemRegion(7).boundingRect().center();
    QTest::mouseClick(&Canvas(), Qt::RightButton, {}, tab);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // The menu opens once the click is over (a queued call), beside the pointer.
    QTest::mouseClick(&Canvas(), Qt::RightButton, {}, QPoint(4, 4)); // the frame's corner
    QCoreApplication::processEvents();
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QStringList entries;
    for (QAction* action : menu->actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(entries, (QStringList{"Load Combo File", "Save Combo File", "Save Combo File As...", "-",
                                    "Import Memory Level", "Export Memory Level", "-", "Corvinta Settings...",
                                    "&About the Corvinta..."}));
    menu->close();

    QTest::keyClick(&Canvas(), Qt::Key_Menu); // the Menu key opens it too
    QCoreApplication::processEvents();
    menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    menu->close();
}

TEST_F(Playing, TheAboutBoxShowsTheVersionAndSaveAsWritesTheChosenFileOnly)
{
    ui::ConsoleMenu& menu = *window->Menu();
    QString about;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "About the Corvinta Virtual Organ");
        about = box->findChild<QLabel*>("AboutText")->text();
        static_cast<QDialog*>(box)->accept();
    });
    menu.About();
    EXPECT_TRUE(about.startsWith("Corvinta Style 216 ver 0.88\n\n"));
    EXPECT_TRUE(about.contains("Use Panic to silence a cipher (stuck note)."));
    EXPECT_TRUE(about.contains(QString::fromLatin1(VersionText()).trimmed())) << about.toStdString();

    // Save as: the name without its suffix gets ".cbo"; the folder stays.
    const fs::path folder = fs::current_path();
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->nameFilters().contains("Combination Files (*.cbo)"));
        fs::create_directories(base / "elsewhere");
        dialog->setDirectory(QString::fromStdString((base / "elsewhere").string()));
        dialog->selectFile("mine");
        static_cast<QDialog*>(dialog)->accept();
    });
    menu.SaveComboFileAs();
    EXPECT_TRUE(fs::exists(base / "elsewhere" / "mine.cbo"));
    EXPECT_EQ(fs::current_path(), folder);

    // Cancel writes nothing.
    QTimer::singleShot(0, [] { static_cast<QDialog*>(QApplication::activeModalWidget())->reject(); });
    menu.ExportMemoryLevel();
    EXPECT_FALSE(fs::exists(base / "elsewhere" / "mine.csv"));
    EXPECT_EQ(std::distance(fs::directory_iterator(base / "elsewhere"), fs::directory_iterator()), 1);
}

// The settings dialog opened from the menu, worked as the organist works
// it: right-click menus, OK, Cancel, and the sound font dialog.
class Settings : public Playing {
protected:
    // Runs `work` on the settings dialog once it is open, then the command ends.
    void WithSettings(std::function<void(ui::SettingsDialog&)> work)
    {
        QTimer::singleShot(0, [work] {
            auto* dialog = qobject_cast<ui::SettingsDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            work(*dialog);
        });
        window->Menu()->Settings();
    }
    static QAction* Find(QMenu& menu, const QString& text)
    {
        for (QAction* a : menu.actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
};

TEST_F(Settings, ARanksChannelChosenFromItsMenuIsWhereItPlaysAfterOk)
{
    constexpr int kSoloTibia = 7;
    Draw(kSoloTibia);
    const int rank = StopOfItem(kSoloTibia).rank;
    messages.Answer(MessageAnswer::Yes); // ranks sharing channels: go ahead
    WithSettings([rank](ui::SettingsDialog& dialog) {
        dialog.Pages().setCurrentIndex(1);
        auto* ranks = dialog.findChild<QTableWidget*>("RankList");
        QMenu* menu = dialog.CellMenu(*ranks, rank, kRankChannel);
        ASSERT_NE(menu, nullptr);
        QAction* ten = Find(*menu, "10");
        ASSERT_NE(ten, nullptr);
        ten->trigger();
        EXPECT_EQ(ranks->item(rank, kRankChannel)->text(), "10");
        dialog.accept();
    });
    EXPECT_EQ(organ->Console().Settings().ranks[static_cast<size_t>(rank)].channel, 9);
    QTest::keyClick(&Canvas(), Qt::Key_Z);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !NotesOn(ReadLog(log), rank).empty(); }, 10000));
    const auto logged = Close();
    for (const LoggedMessage& m : logged)
        if (m.rank == rank && IsNoteOn(m)) {
            EXPECT_EQ(m.status, 0x99u) << "note on, channel 10";
        }
}

TEST_F(Settings, CancelLeavesTheConfigurationAsItWas)
{
    const std::string before = CConfigFile::Format(organ->Console(), CConfigFile::kVersion);
    WithSettings([](ui::SettingsDialog& dialog) {
        auto* ranks = dialog.findChild<QTableWidget*>("RankList");
        Find(*dialog.CellMenu(*ranks, 0, kRankVolume), "16")->trigger();
        dialog.reject();
    });
    EXPECT_EQ(CConfigFile::Format(organ->Console(), CConfigFile::kVersion), before);
}

TEST_F(Settings, ASoundFontLoadedThroughItsDialogSounds)
{
    constexpr int kSoloTibia = 7;
    Draw(kSoloTibia);
    fluid_synth_t* synth = organ->Engine().Synth()->Synth();
    const int fontsBefore = fluid_synth_sfcount(synth);
    messages.Answer(MessageAnswer::Yes);
    WithSettings([](ui::SettingsDialog& dialog) {
        dialog.Pages().setCurrentIndex(2);
        QTimer::singleShot(0, [] {
            auto* fonts = qobject_cast<ui::SoundFontDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(fonts, nullptr);
            fonts->findChild<QLineEdit*>("SoundFontPath")->setText(SOUNDFONT);
            fonts->findChild<QLineEdit*>("BankOffset")->setText("128");
            QTimer::singleShot(0, [] { // refused: the box says why, the dialog stays
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(box->text(), "Bank offset must be between 0 and 127.");
                box->accept();
            });
            fonts->accept();
            EXPECT_TRUE(fonts->isVisible());
            fonts->findChild<QLineEdit*>("BankOffset")->setText("25");
            fonts->accept();
        });
        dialog.findChild<QPushButton*>("LoadSoundFont")->click();
        auto* list = dialog.findChild<QListWidget*>("SoundFonts");
        ASSERT_GE(list->count(), 1);
        EXPECT_EQ(list->item(list->count() - 1)->text(), "25: Corvinta.sf2");
        dialog.accept();
    });
    EXPECT_GT(fluid_synth_sfcount(synth), fontsBefore);
    QTest::keyPress(&Canvas(), Qt::Key_Z);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !NotesOn(ReadLog(log), StopOfItem(kSoloTibia).rank).empty(); }, 10000));
    EXPECT_GT(fluid_synth_get_active_voice_count(synth), 0) << "the Tibia's preset sounds";
    QTest::keyRelease(&Canvas(), Qt::Key_Z);
}

// A keyboard unplugged and plugged back is told on the console's status
// line, not in a box that would stop the playing.
TEST_F(Playing, AKeyboardThatComesAndGoesIsToldOnTheStatusLine)
{
    Close();
    auto devices = std::make_unique<test::PluggableMidi>(std::vector<std::string>{"Keys"});
    test::PluggableMidi* keys = devices.get();
    Start({"--audio-driver", "none", "--midi-log", log.string()}, std::move(devices));
    const size_t boxes = messages.Shown().size();
    EXPECT_TRUE(window->StatusText().isEmpty());

    keys->Plug("Keys", false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->StatusText().contains("\"Keys\" was disconnected"); }, 10000));
    keys->Plug("Keys", true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->StatusText().contains("\"Keys\" is connected again"); }, 10000));
    EXPECT_TRUE(window->StatusText().contains("was disconnected")) << "news that comes meanwhile joins the line";
    EXPECT_EQ(messages.Shown().size(), boxes);
    EXPECT_TRUE(keys->Send("Keys", ShortMessage(0x90, 60, 100))) << "the organ has it open again";
    EXPECT_TRUE(keys->Send("Keys", ShortMessage(0x80, 60, 0)));
}

} // namespace
