// The console window through synthesised mouse events on the real widgets:
// what each kind of control sends the organ, and what the face shows.

#include "organ/Console.h"
#include "platform/RecordingUserMessages.h"
#include "skin/SkinGeometry.h"
#include "skin/SkinLibrary.h"
#include "skin/SkinRegions.h"
#include "tests/RecordingQueue.h"
#include "ui/SkinImages.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace corvinta;
using corvinta::test::RecordingQueue;

namespace {

constexpr int kDevice = 0;

struct Inputs final : IInputControl {
    std::vector<std::string> calls;
    void StopAll() override { calls.push_back("stop"); }
    void StartAll() override { calls.push_back("start"); }
    void SetInputEnabled(bool e) override { calls.push_back(e ? "enable" : "disable"); }
};

class Window : public ::testing::Test {
protected:
    RecordingUserMessages messages;
    CConsole console{messages};
    RecordingQueue queue;
    Inputs inputs;
    skin::SkinLibrary library{messages};
    std::array<skin::SkinImage, 2> images;
    std::unique_ptr<ui::ConsoleWindow> window;

    void SetUp() override
    {
        console.Build();
        console.inputDevicesInUse = {static_cast<uint16_t>(kDevice)};
        console.RebuildRouting();
        console.SetOutput(&queue);
        console.SetInputControl(&inputs);
        ASSERT_TRUE(library.Open(SKIN_LIBRARY));
        auto fetched = library.FetchImages();
        ASSERT_TRUE(fetched);
        images = *fetched;
    }

    // The registration is set in the model first, as a configuration would.
    void Open()
    {
        window = ui::MakeConsoleWindow(console, library, images, 1.0);
        window->ShowModelState();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    QWidget& Canvas() { return window->Canvas(); }

    QPoint CentreOf(int item) const
    {
        const QRegion shape = window->Canvas().Layout().ItemRegion(item);
        for (const QRect& r : shape)
            if (r.width() > 4 && r.height() > 4)
                return r.center();
        ADD_FAILURE() << "item " << item << " has no shape";
        return {};
    }
    QPoint CentreOfLevel(int level) const
    {
        const auto& layout = window->Canvas().Layout();
        return layout.controls[static_cast<size_t>(layout.controlOfLevel[static_cast<size_t>(level)])].shape.boundingRect().center();
    }

    void Move(QPoint p, Qt::MouseButtons held)
    {
        QMouseEvent move(QEvent::MouseMove, p, Canvas().mapToGlobal(p), Qt::NoButton, held, Qt::NoModifier);
        QApplication::sendEvent(&Canvas(), &move);
    }
    void Click(QPoint p)
    {
        QTest::mousePress(&Canvas(), Qt::LeftButton, {}, p);
        QTest::mouseRelease(&Canvas(), Qt::LeftButton, {}, p);
    }

    std::vector<OutputRequest> StopRequests()
    {
        std::vector<OutputRequest> stops;
        for (const OutputRequest& r : queue.Take())
            if (r.type != RequestType::KeyNote && r.type != RequestType::RankNote)
                stops.push_back(r);
        return stops;
    }

    // What the window shows at a point: the skin's "on" picture or its "off" one.
    enum class Shown { Off, On, Neither };
    Shown ShownAt(QPoint p)
    {
        const QImage grab = Canvas().grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb seen = grab.pixel(p) & 0xFFFFFF;
        const QImage off = ui::ToQImage(images[0]);
        const QImage on = ui::ToQImage(images[1]);
        const QRgb offPixel = off.pixel(p) & 0xFFFFFF;
        const QRgb onPixel = on.pixel(p) & 0xFFFFFF;
        EXPECT_NE(offPixel, onPixel) << "choose a point where the two pictures differ";
        return seen == onPixel ? Shown::On : seen == offPixel ? Shown::Off : Shown::Neither;
    }
};

TEST_F(Window, ASwipeDrawsEachTabOnceAndCancelsWhenItStartsOnADrawnTab)
{
    Open();
    const std::array<int, 4> tabs{0, 1, 2, 3}; // the Solo's four 16' stops, side by side
    QTest::mousePress(&Canvas(), Qt::LeftButton, {}, CentreOf(tabs[0]));
    for (int item : tabs)
        Move(CentreOf(item), Qt::LeftButton);
    for (auto it = tabs.rbegin(); it != tabs.rend(); ++it) // and back over them
        Move(CentreOf(*it), Qt::LeftButton);
    QTest::mouseRelease(&Canvas(), Qt::LeftButton, {}, CentreOf(tabs[0]));

    const auto drawn = StopRequests();
    ASSERT_EQ(drawn.size(), 4u);
    for (size_t i = 0; i < tabs.size(); ++i) {
        EXPECT_EQ(drawn[i].b, tabs[i]);
        EXPECT_EQ(drawn[i].c, 1);
        EXPECT_TRUE(console.registration.Test(tabs[i]));
        EXPECT_EQ(ShownAt(CentreOf(tabs[i])), Shown::On);
    }

    // A move without the button held ends the swipe: nothing more changes.
    Move(CentreOf(4), Qt::NoButton);
    EXPECT_TRUE(StopRequests().empty());

    // Starting on a drawn tab cancels what the swipe crosses.
    QTest::mousePress(&Canvas(), Qt::LeftButton, {}, CentreOf(tabs[3]));
    Move(CentreOf(tabs[2]), Qt::LeftButton);
    Move(CentreOf(5), Qt::LeftButton); // an undrawn tab stays as it is
    QTest::mouseRelease(&Canvas(), Qt::LeftButton, {}, CentreOf(5));
    const auto cancelled = StopRequests();
    ASSERT_EQ(cancelled.size(), 2u);
    EXPECT_EQ(cancelled[0].b, 3);
    EXPECT_EQ(cancelled[1].b, 2);
    EXPECT_EQ(cancelled[1].c, 0);
    EXPECT_FALSE(console.registration.Test(5));
    EXPECT_EQ(ShownAt(CentreOf(3)), Shown::Off);
}

TEST_F(Window, MemoryLevelSelectorsAreExclusive)
{
    console.Settings().console.memLevel = 2;
    Open();
    EXPECT_EQ(ShownAt(CentreOfLevel(2)), Shown::On);
    Click(CentreOfLevel(7));
    EXPECT_EQ(console.Settings().console.memLevel, 7);
    for (int level = 0; level < kMemoryLevelCount; ++level)
        EXPECT_EQ(ShownAt(CentreOfLevel(level)), level == 7 ? Shown::On : Shown::Off) << "level " << level;
}

TEST_F(Window, EffectTabsSoundWhileHeldAndPushButtonsNeverStayDown)
{
    Open();
    constexpr int kToeStudT1 = 85;
    const QPoint stud = CentreOf(kToeStudT1);
    QTest::mousePress(&Canvas(), Qt::LeftButton, {}, stud);
    EXPECT_EQ(ShownAt(stud), Shown::On);
    QTest::mouseRelease(&Canvas(), Qt::LeftButton, {}, stud);
    const auto effect = StopRequests();
    ASSERT_EQ(effect.size(), 2u);
    EXPECT_EQ(effect[0].type, RequestType::EffectStop);
    EXPECT_EQ(effect[0].c, 127);
    EXPECT_EQ(effect[1].type, RequestType::EffectStop);
    EXPECT_EQ(effect[1].c, 0);
    EXPECT_EQ(ShownAt(stud), Shown::Off);

    // A double click comes as press, release, double click, release: two
    // presses, each let go, never stuck.
    Click(stud);
    QTest::mouseDClick(&Canvas(), Qt::LeftButton, {}, stud);
    QTest::mouseRelease(&Canvas(), Qt::LeftButton, {}, stud);
    int presses = 0, releases = 0;
    for (const OutputRequest& r : StopRequests())
        (r.c ? presses : releases) += 1;
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(releases, 2);
    EXPECT_EQ(ShownAt(stud), Shown::Off);

    // "CAN" and a piston show pressed only while held.
    constexpr int kCancelItem = kFirstSpecialItem + 5;
    for (int item : {kCancelItem, kFirstPistonItem}) {
        const QPoint p = CentreOf(item);
        QTest::mousePress(&Canvas(), Qt::LeftButton, {}, p);
        EXPECT_EQ(ShownAt(p), Shown::On) << "item " << item;
        QTest::mouseRelease(&Canvas(), Qt::LeftButton, {}, p);
        EXPECT_EQ(ShownAt(p), Shown::Off) << "item " << item;
        EXPECT_FALSE(window->Face().Checked(item));
    }
}

TEST_F(Window, TheNameplatePanicsAndTheBackgroundDoesNothing)
{
    Open();
    Click(QPoint(4, 4)); // the wooden frame's corner
    EXPECT_EQ(queue.allNotesOff, 0);
    Click(window->Canvas().Layout().panicArea.boundingRect().center());
    EXPECT_EQ(queue.allNotesOff, 1);
    EXPECT_EQ(inputs.calls, (std::vector<std::string>{"disable", "stop", "start", "enable"}));
}

TEST_F(Window, WhatMidiPlaysShows)
{
    Open();
    constexpr int kTibia = 7; // "8 TIBIA" of the Solo
    const ui::PlacedSlider* swell = nullptr;
    for (const ui::PlacedSlider& s : window->Canvas().Layout().sliders)
        if (s.shoe == kSwellMain && s.slider.thumb == ui::SkinSlider::Thumb::ShoeBody)
            swell = &s;
    ASSERT_NE(swell, nullptr);
    const QImage shoeBefore = Canvas().grab(swell->slider.rect).toImage();

    // From the MIDI input worker's thread, as the organ runs: controller 81 on
    // channel 16 draws the item in its value, controller 11 moves the Main
    // swell, and the Solo's channel 1 plays middle C.
    std::thread worker([this] {
        console.ProcessEvent(kDevice, 0xBF | (81u << 8) | (uint32_t(kTibia) << 16));
        console.ProcessEvent(kDevice, 0xBF | (11u << 8) | (100u << 16));
        console.ProcessEvent(kDevice, 0x90 | (60u << 8) | (100u << 16));
    });
    worker.join();
    QCoreApplication::processEvents(); // the one queued repaint
    EXPECT_TRUE(console.registration.Test(kTibia));
    EXPECT_EQ(ShownAt(CentreOf(kTibia)), Shown::On);
    EXPECT_EQ(window->Face().Shoe(kSwellMain), 100);
    EXPECT_NE(Canvas().grab(swell->slider.rect).toImage(), shoeBefore) << "the shoe moved on screen";
    const ui::KeyShape* c = window->Canvas().Layout().Key(0, 60 - console.Division(0).keyboard.lowestNote);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(ShownAt(c->shape.boundingRect().center()), Shown::On) << "the key lights up";
}

TEST_F(Window, AtScaleOneTheFaceIsTheSkinWithTheRegistrationDrawn)
{
    const std::vector<int> drawn{0, 7, 40, 84};
    for (int item : drawn) {
        const int d = DivisionOfStop(item);
        console.Division(d).Stop(item - console.Division(d).firstStop).shown = true;
    }
    console.Trem(kTremVox).shown = true;
    Open();

    const QImage off = ui::ToQImage(images[0]);
    const QImage on = ui::ToQImage(images[1]);
    QImage expected = off;
    // Shapes straight from the skin: a tremulant is painted at its tab number.
    auto skinShape = [this](int region) {
        QRegion shape;
        const auto rects = skin::ParseGeometry(library.Region(region));
        for (size_t i = 1; i < rects->size(); ++i) {
            const Rect& r = (*rects)[i];
            shape += QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
        }
        return shape;
    };
    QRegion onRegion;
    for (int item : drawn)
        onRegion += skinShape(item);
    onRegion += skinShape(kTremulants[kTremVox].tabNumber);
    onRegion += skinShape(skin::kFirstMemoryLevelRegion); // level 0
    for (const QRect& r : onRegion)
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                expected.setPixel(x, y, on.pixel(x, y));
    QImage grab = Canvas().grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(grab.size(), off.size());
    // The shoes and the tempo slider carry thumbs of the window's own drawing.
    for (const ui::PlacedSlider& s : window->Canvas().Layout().sliders)
        for (int y = s.slider.rect.top(); y <= s.slider.rect.bottom(); ++y)
            for (int x = s.slider.rect.left(); x <= s.slider.rect.right(); ++x)
                grab.setPixel(x, y, expected.pixel(x, y));
    EXPECT_TRUE(grab == expected);
}

} // namespace
