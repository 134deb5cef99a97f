#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "QtWait.h"
#include "common/Error.h"
#include "host/DoEvents.h"
#include "host/EventProcedure.h"
#include "host/QtForm.h"
#include "host/QtTimer.h"
#include "host/UserControlHost.h"

namespace {

// A user control that records the host's notifications and can be told to fail.
class RecordingControl final : public host::UserControl {
  public:
    explicit RecordingControl(host::UserControlSite& site) : site(site) {}
    void UserControl_Initialize() override { events.push_back("Initialize"); }
    void UserControl_ReadProperties(host::PropertyBag& bag) override {
        events.push_back("ReadProperties " + bag.ReadProperty("Section", "default"));
    }
    void UserControl_WriteProperties(host::PropertyBag& bag) override {
        bag.WriteProperty("Section", "saved");
    }
    void UserControl_Resize() override { events.push_back("Resize"); }
    void UserControl_Paint() override {
        events.push_back("Paint");
        if (failPaint) throw Error(5, "Recording", "Invalid procedure call or argument");
    }
    void CallByName(const std::string& method, const std::vector<host::Argument>&) override {
        events.push_back("Call " + method);
    }
    host::UserControlSite& site;
    std::vector<std::string> events;
    bool failPaint = false;
};

std::size_t Count(const std::vector<std::string>& events, const std::string& event) {
    return static_cast<std::size_t>(std::count(events.begin(), events.end(), event));
}

}  // namespace

TEST(EventProcedure, WhateverEscapesIsLoggedWithNumberSourceAndDescription) {
    struct Case {
        const char* name;
        std::function<void()> body;
        std::string logged;
    };
    const Case cases[] = {
        {"an Error", [] { throw Error(40014, "W.Connect", "no display address"); },
         "Command1_Click stopped: error 40014 in W.Connect: no display address"},
        {"a standard exception", [] { throw std::runtime_error("boom"); },
         "Command1_Click stopped: error 51 in Command1_Click: boom"},
        {"out of memory", [] { throw std::bad_alloc(); },
         "Command1_Click stopped: error 7 in Command1_Click: Out of memory"},
        {"anything else", [] { throw 42; },
         "Command1_Click stopped: error 51 in Command1_Click: unknown exception"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        const bool finished = host::RunEventProcedure("Command1_Click", c.body);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(finished) << c.name;
        EXPECT_NE(log.find(c.logged + "\n"), std::string::npos) << c.name << ": " << log;
    }
    testing::internal::CaptureStderr();
    EXPECT_TRUE(host::RunEventProcedure("Form_Load", [] {}));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(DoEvents, RunsThePendingEventsOnceAndReturns) {
    QObject context;
    std::vector<std::string> ran;
    QMetaObject::invokeMethod(
        &context,
        [&] {
            ran.push_back("pending");
            QMetaObject::invokeMethod(
                &context, [&] { ran.push_back("posted meanwhile"); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    host::DoEvents();
    EXPECT_EQ(ran, std::vector<std::string>{"pending"});
    host::DoEvents();
    EXPECT_EQ(ran, (std::vector<std::string>{"pending", "posted meanwhile"}));
}

class FormAdapter : public ::testing::Test {
  protected:
    void SetUp() override {
        window.setObjectName("Form1");
        window.setGeometry(100, 80, 128, 178);
    }
    QWidget window;
    host::QtForm form{window};
};

TEST_F(FormAdapter, BoundsAreOuterTwipsAndMoveAndHeightSetThem) {
    window.show();
    const int frameHeight = window.frameGeometry().height() - window.height();
    form.Move(1500, 1200, 3000, 2400);
    EXPECT_EQ(form.Left(), 1500);
    EXPECT_EQ(form.Top(), 1200);
    EXPECT_EQ(form.Width(), 3000);
    EXPECT_EQ(form.Height(), 2400);
    EXPECT_EQ(window.height(), 160 - frameHeight);

    form.SetHeight(1300);  // 86.67 pixels: rounded to a whole pixel, width untouched
    EXPECT_EQ(form.Height(), 87 * 15);
    EXPECT_EQ(form.Width(), 3000);
    EXPECT_EQ(form.Name(), "Form1");
    EXPECT_TRUE(form.Visible());
    EXPECT_NE(form.hWnd(), 0u);

    for (float bad : {-15.0f, std::numeric_limits<float>::quiet_NaN(), 1e12f}) {
        EXPECT_THROW(form.SetHeight(bad), Error) << bad;
        EXPECT_THROW(form.Move(0, 0, bad, 100), Error) << bad;
    }
    EXPECT_EQ(form.Height(), 87 * 15);
    form.Move(-120, -45, 3000, 2400);  // off-screen positions are applied as they are
    EXPECT_EQ(form.Left(), -120);
    EXPECT_EQ(form.Top(), -45);
}

TEST_F(FormAdapter, HasNoHandleBeforeTheWindowExists) {
    EXPECT_EQ(form.hWnd(), 0u);
}

TEST_F(FormAdapter, StateCodesAreAppliedAndInvalidOnesRefusedWithoutChange) {
    window.show();
    for (int16_t bad : {int16_t(-1), int16_t(3), int16_t(255)}) {
        try {
            form.SetWindowState(bad);
            ADD_FAILURE() << bad << " accepted";
        } catch (const Error& error) {
            EXPECT_EQ(error.number, host::kErrInvalidPropertyValue);
        }
        EXPECT_EQ(form.WindowState(), host::kStateNormal);
    }
    for (int16_t code : {host::kStateMinimized, host::kStateMaximized, host::kStateNormal}) {
        form.SetWindowState(code);
        EXPECT_EQ(form.WindowState(), code);
    }
}

TEST_F(FormAdapter, AMinimizedOrMaximizedWindowRefusesMovesAndHeights) {
    window.show();
    for (int16_t code : {host::kStateMinimized, host::kStateMaximized}) {
        form.SetWindowState(code);
        const QRect before = window.geometry();
        try {
            form.Move(0, 0, 1500, 1500);
            ADD_FAILURE() << "moved in state " << code;
        } catch (const Error& error) {
            EXPECT_EQ(error.number, host::kErrCantMoveMinMax);
            EXPECT_EQ(error.source, "Form1.Move");
        }
        EXPECT_THROW(form.SetHeight(3180), Error);
        EXPECT_EQ(window.geometry(), before);
        form.SetWindowState(host::kStateNormal);
    }
}

TEST(QtTimer, TicksWhileEnabledAndAFailingTickIsLoggedWithoutStoppingIt) {
    int ticks = 0;
    host::QtTimer timer([&] {
        ++ticks;
        throw Error(11, "Timer1_Timer", "Division by zero");
    });
    timer.SetInterval(10);
    EXPECT_FALSE(timer.Enabled());
    RunEventsFor(50);
    EXPECT_EQ(ticks, 0);

    testing::internal::CaptureStderr();
    timer.SetEnabled(true);
    const bool ticked = WaitUntil([&] { return ticks >= 3; });
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(ticked);
    EXPECT_NE(log.find("error 11 in Timer1_Timer: Division by zero"), std::string::npos);

    timer.SetEnabled(false);
    const int stoppedAt = ticks;
    RunEventsFor(50);
    EXPECT_EQ(ticks, stoppedAt);
}

TEST(QtTimer, AnIntervalOfZeroNeverTicks) {
    int ticks = 0;
    host::QtTimer timer([&] { ++ticks; });
    timer.SetEnabled(true);
    RunEventsFor(50);
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(timer.Enabled());
    timer.SetInterval(5);
    EXPECT_TRUE(WaitUntil([&] { return ticks > 0; }));
}

class UserControlSite : public ::testing::Test {
  protected:
    UserControlSite() {
        window.setObjectName("Form1");
        window.resize(128, 178);
        site = new host::UserControlHost(&window, &form, "SavePosition1");  // owned by window
        site->setGeometry(0, 0, 7, 7);
    }
    RecordingControl& Load() {
        host::MemoryPropertyBag stored(std::map<std::string, std::string>{{"Section", "Form1"}});
        site->Load([](host::UserControlSite& s) { return std::make_unique<RecordingControl>(s); },
                   stored);
        return static_cast<RecordingControl&>(*site->Control());
    }
    QWidget window;
    host::QtForm form{window};
    host::UserControlHost* site = nullptr;
};

TEST_F(UserControlSite, CreatesTheControlThenInitializesItThenLoadsItsSavedProperties) {
    RecordingControl& control = Load();
    EXPECT_EQ(&control.site, site);
    EXPECT_EQ(control.events, (std::vector<std::string>{"Initialize", "ReadProperties Form1"}));
    EXPECT_EQ(&site->ParentForm(), &form);
    EXPECT_EQ(site->ParentForm().Name(), "Form1");
    EXPECT_TRUE(site->UserMode());
    site->SetUserMode(false);
    EXPECT_FALSE(site->UserMode());

    host::MemoryPropertyBag saved;
    site->Save(saved);
    EXPECT_EQ(saved.saved().at("Section"), "saved");
}

TEST_F(UserControlSite, ForwardsResizeAndPaintAndSurvivesAFailingPaint) {
    RecordingControl& control = Load();
    control.failPaint = true;
    site->SetWidth(100);  // snapped to whole pixels
    site->SetHeight(100);
    EXPECT_EQ(site->Width(), 105);
    EXPECT_EQ(site->Height(), 105);
    testing::internal::CaptureStderr();
    window.show();
    const bool painted = WaitUntil([&] { return Count(control.events, "Paint") > 0; });
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(painted);
    EXPECT_GE(Count(control.events, "Resize"), 1u);
    EXPECT_NE(log.find("SavePosition1.UserControl_Paint stopped: error 5 in Recording"),
              std::string::npos)
        << log;

    site->SetWidth(0);
    site->SetHeight(0);
    EXPECT_EQ(site->Width(), 0);
    EXPECT_THROW(site->SetWidth(-15), Error);
}

TEST_F(UserControlSite, AParentThatIsNotAFormIsATypeMismatch) {
    host::UserControlHost orphan(nullptr, nullptr, "Loose");
    try {
        orphan.ParentForm();
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, 13);
    }
}

TEST_F(UserControlSite, TimersItMakesTickThroughTheHost) {
    int ticks = 0;
    std::unique_ptr<host::Timer> timer = site->CreateTimer([&] { ++ticks; });
    EXPECT_FALSE(timer->Enabled());
    timer->SetInterval(5);
    timer->SetEnabled(true);
    EXPECT_TRUE(WaitUntil([&] { return ticks > 0; }));
}

TEST_F(UserControlSite, AFailingFactoryLeavesTheSiteEmpty) {
    host::MemoryPropertyBag stored;
    testing::internal::CaptureStderr();
    site->Load(
        [](host::UserControlSite&) -> std::unique_ptr<host::UserControl> {
            throw Error(429, "SavePosition", "ActiveX component can't create object");
        },
        stored);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(site->Control(), nullptr);
    EXPECT_NE(log.find("error 429"), std::string::npos);
}

TEST(ReachableBounds, AWindowOutOfReachComesOntoTheNearestScreen) {
    // Two screens side by side, the right one with a panel along its top.
    const QList<QRect> screens = {QRect(0, 0, 1024, 768), QRect(1024, 30, 1280, 994)};
    struct Case {
        const char* name;
        QRect bounds;
        QRect expected;
    };
    const Case cases[] = {
        {"inside a screen", {100, 100, 130, 212}, {100, 100, 130, 212}},
        {"caption partly shown, enough to grab", {-90, 100, 130, 212}, {-90, 100, 130, 212}},
        {"across both screens", {960, 100, 130, 212}, {960, 100, 130, 212}},
        {"right of every screen", {2400, 100, 130, 212}, {2174, 100, 130, 212}},
        {"left of every screen", {-500, 100, 130, 212}, {0, 100, 130, 212}},
        {"caption too little shown", {-110, 100, 130, 212}, {0, 100, 130, 212}},
        {"caption under the panel", {1500, 10, 130, 212}, {1500, 30, 130, 212}},
        {"below every screen", {1500, 3000, 130, 212}, {1500, 812, 130, 212}},
        {"body below the screen, caption on it", {100, 740, 130, 212}, {100, 740, 130, 212}},
        {"larger than the screen: held to it", {5000, 0, 3000, 2000}, {1024, 30, 1280, 994}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(host::ReachableBounds(c.bounds, 23, screens), c.expected) << c.name;
    }
    EXPECT_EQ(host::ReachableBounds({9000, 9000, 130, 212}, 23, {}), QRect(9000, 9000, 130, 212))
        << "no screens: as asked";
}
