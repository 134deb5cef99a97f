#include "client/Form1.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <string>
#include <vector>

#include "QtWait.h"
#include "Receiver.h"
#include "client/KeepOnTop.h"
#include "common/Error.h"
#include "host/Window.h"
#include "support/TempFolder.h"

namespace {

class Window : public ::testing::Test {
  protected:
    TempFolder temp;
    std::filesystem::path file() const { return temp.settings() / "QUORIXaffich.ini"; }
    std::string content() const {
        return std::filesystem::exists(file()) ? ReadFile(file()) : "<none>";
    }
    // The settings file holding `lines`, with the display at the receiver's port.
    void Settings(const std::string& lines, const Receiver* display = nullptr) {
        std::string text = lines;
        if (display != nullptr) {
            text += "[ecran]\nip=127.0.0.1\nport=" + std::to_string(display->port()) + "\n";
        }
        WriteFile(file(), text);
    }
    // The top and bottom of a control in the window's own coordinates (logical pixels).
    static int TopInWindow(const QWidget& control) {
        return control.mapTo(control.window(), QPoint(0, 0)).y();
    }
    static int BottomInWindow(const QWidget& control) {
        return TopInWindow(control) + control.height();
    }
    // The lowest window row that shows the client area.
    static int ClientBottom(const client::Form1& form) {
        return form.height() - client::kBorderPixels;
    }
};

// Records what the form does with its position keeper; with `refuse`, its INIT fails as a
// record the window refuses makes it fail.
class FakeKeeper final : public host::UserControl {
  public:
    FakeKeeper(host::UserControlSite& site, std::vector<std::string>& log,
               std::filesystem::path settings, bool refuse = false)
        : site_(site), log_(log), settings_(std::move(settings)), refuse_(refuse) {}
    void UserControl_Initialize() override { log_.push_back("Initialize"); }
    void UserControl_ReadProperties(host::PropertyBag& bag) override {
        log_.push_back("ReadProperties " + bag.ReadProperty("FichierINI", "") + " " +
                       bag.ReadProperty("Section", ""));
    }
    void UserControl_WriteProperties(host::PropertyBag&) override {}
    void UserControl_Resize() override {}
    void UserControl_Paint() override {}
    void CallByName(const std::string& method, const std::vector<host::Argument>& args) override {
        if (args.size() != 3) throw Error(450, "FakeKeeper", "Wrong number of arguments");
        if (refuse_) throw Error(host::kErrInvalidPropertyValue, "Form1.WindowState", "Invalid");
        host::Form* window = std::get<host::Form*>(args[0]);
        log_.push_back(method + " " + window->Name() + " " + std::get<std::string>(args[1]) + " " +
                       std::get<std::string>(args[2]) + " parent " + site_.ParentForm().Name() +
                       (std::filesystem::exists(settings_) ? " after" : " before") +
                       " any setting");
    }

  private:
    host::UserControlSite& site_;
    std::vector<std::string>& log_;
    std::filesystem::path settings_;
    bool refuse_;
};

}  // namespace

TEST_F(Window, FirstStartWithoutSettingsShowsDefaultsAboveOtherWindowsAndRecordsThem) {
    client::Form1 form;
    EXPECT_EQ(form.windowTitle(), "Afficheur");
    for (QPushButton* button : form.Command1)
        EXPECT_EQ(button->text(), "Erreur");
    EXPECT_EQ(form.Text1->text(), "");
    EXPECT_EQ(form.text2->text(), "Caisse");
    EXPECT_EQ(form.Command2->text(), "Changement Texte");
    EXPECT_EQ(form.Command3->text(), "Nom de Caisse");
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.AsForm().Height(), 3180);
    for (QWidget* control :
         std::vector<QWidget*>{form.Command1[0], form.Command1[1], form.Command1[2], form.Text1,
                               form.Command2, form.text2, form.Command3}) {
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
        EXPECT_LE(BottomInWindow(*control), ClientBottom(form))
            << control->objectName().toStdString() << " out of view";
    }
    EXPECT_EQ(content(), "[deroulant]\ntexte=\n[NomCaisse]\ntexte=Caisse\n[system]\nadmin=JQ\n");
}

TEST_F(Window, ControlsStandAtTheirDesignedPlacesInTabOrder) {
    client::Form1 form;
    struct Place {
        QWidget* control;
        int top, height;
    };
    const Place places[] = {{form.Command1[0], 120, 255}, {form.Command1[1], 360, 255},
                            {form.Command1[2], 600, 255}, {form.Text1, 960, 375},
                            {form.Command2, 1440, 255},   {form.text2, 1800, 375},
                            {form.Command3, 2280, 315}};
    for (const Place& place : places) {
        EXPECT_EQ(place.control->geometry(), QRect(8, place.top / 15, 113, place.height / 15))
            << place.control->objectName().toStdString();
    }
    for (std::size_t n = 0; n + 1 < std::size(places); ++n) {
        EXPECT_EQ(places[n].control->nextInFocusChain(), places[n + 1].control) << n;
    }
}

TEST_F(Window, TheAdministratorSwitchSetsTheHeightAndDisablesTheScrollingText) {
    struct Case {
        const char* name;
        std::string admin;  // the [system] admin line, empty for none
        float height;
        bool scrollingTextEnabled;
        std::string adminAfter;
    };
    const Case cases[] = {
        {"the access value", "admin=JQ\n", 3180, true, "admin=JQ"},
        {"no key: the access value is recorded", "", 3180, true, "admin=JQ"},
        {"an empty key counts as missing", "admin=\n", 3180, true, "admin=JQ"},
        {"another case is not the access value", "admin=jq\n", 1300, false, "admin=jq"},
        {"any other text", "admin=NON\n", 1300, false, "admin=NON"},
    };
    for (const Case& c : cases) {
        Settings(c.admin.empty() ? "" : "[system]\n" + c.admin);
        client::Form1 form;
        EXPECT_EQ(form.AsForm().Height(), c.height == 1300 ? 87 * 15 : c.height) << c.name;
        EXPECT_EQ(form.Text1->isEnabled(), c.scrollingTextEnabled) << c.name;
        EXPECT_EQ(form.Command2->isEnabled(), c.scrollingTextEnabled) << c.name;
        EXPECT_NE(content().find(c.adminAfter + "\n"), std::string::npos) << c.name;
        if (c.height == 1300) {
            // The three message buttons stay in view; Text1 and all below it do not.
            EXPECT_LE(BottomInWindow(*form.Command1[2]), ClientBottom(form)) << c.name;
            EXPECT_GE(TopInWindow(*form.Text1), ClientBottom(form)) << c.name;
            EXPECT_TRUE(form.text2->isEnabled() && form.Command3->isEnabled()) << c.name;
        }
    }
}

TEST_F(Window, HeightSnapsBackAndDisablingIsOneWay) {
    Settings("[system]\nadmin=NON\n");
    client::Form1 form;
    const int width = form.width();
    form.resize(width + 40, 400);
    ASSERT_TRUE(WaitUntil([&] { return form.AsForm().Height() == 87 * 15; }));
    EXPECT_EQ(form.width(), width + 40) << "the width is the user's";

    Settings("[system]\nadmin=JQ\n");
    form.resize(form.width(), 300);
    ASSERT_TRUE(WaitUntil([&] { return form.AsForm().Height() == 3180; }));
    EXPECT_FALSE(form.Text1->isEnabled());
    EXPECT_FALSE(form.Command2->isEnabled());
}

TEST_F(Window, EachButtonSendsItsExactBytes) {
    Receiver display;
    Settings("[boutons]\n1=Caf\xE9\n1 couleur=12\n2=Fermeture\n", &display);
    client::Form1 form;
    form.Command1[0]->click();  // no text and no colour: the defaults
    form.Command1[1]->click();
    form.Text1->setText("");
    form.Command2->click();
    form.Text1->setText("d\xC3\xA9stockage");
    form.Command2->click();
    form.text2->setText("Caisse 1  ");
    form.Command3->click();
    ASSERT_TRUE(WaitUntil([&] { return display.Complete() == 7; }));
    const std::vector<std::string> expected = {"Erreur",
                                               "\xFF"
                                               "20",
                                               "Caf\xE9",
                                               "\xFF"
                                               "212",
                                               "\xFF"
                                               "1",
                                               "\xFF"
                                               "1d\xE9stockage",
                                               "\xFF"
                                               "3Caisse 1  "};
    EXPECT_EQ(display.messages(), expected);

    const std::string after = content();
    EXPECT_NE(after.find("0 couleur=0\n"), std::string::npos) << after;
    EXPECT_NE(after.find("[deroulant]\ntexte=d\xE9stockage\n"), std::string::npos) << after;
    EXPECT_NE(after.find("[NomCaisse]\ntexte=Caisse 1"), std::string::npos) << after;
    EXPECT_EQ(after.find("[boutons]\n0="), std::string::npos) << "button texts are never written";
}

TEST_F(Window, ThePortIsReadByTheLeadingNumberRuleAfreshAtEveryPress) {
    Receiver first;
    Receiver second;
    char hex[16];
    std::snprintf(hex, sizeof hex, "&H%X", first.port());
    WriteFile(file(), std::string("[ecran]\nip=127.0.0.1\nport= ") + hex + "\n");
    client::Form1 form;
    form.Command3->click();
    ASSERT_TRUE(WaitUntil([&] { return first.Complete() == 1; }));

    WriteFile(file(), "[ecran]\nip=localhost\nport=" + std::to_string(second.port()) + ".0 x\n");
    form.Command1[2]->click();
    ASSERT_TRUE(WaitUntil([&] { return second.Complete() == 2; }));
    EXPECT_EQ(first.Complete(), 1u);
    EXPECT_EQ(second.messages(), (std::vector<std::string>{"Erreur",
                                                           "\xFF"
                                                           "20"}));
}

TEST_F(Window, WithoutADisplayAddressAPressStopsAtConnectAndSaysWhatToSet) {
    client::Form1 form;
    form.Text1->setText("jamais");
    testing::internal::CaptureStderr();
    form.Command2->click();
    form.Command1[0]->click();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Command2_Click stopped: error 40014 in W.Connect"), std::string::npos)
        << log;
    EXPECT_NE(log.find("set ip and port under [ecran] in " + file().string()), std::string::npos)
        << log;
    EXPECT_NE(log.find("Command1_Click stopped"), std::string::npos) << log;
    // The text is stored only after it was sent; the endpoint's defaults are recorded.
    EXPECT_NE(content().find("[deroulant]\ntexte=\n"), std::string::npos) << content();
    EXPECT_NE(content().find("[ecran]\nip=\nport=0\n"), std::string::npos) << content();

    WriteFile(file(), "[ecran]\nip=127.0.0.1\nport=70000\n");
    testing::internal::CaptureStderr();
    form.Command3->click();
    const std::string portLog = testing::internal::GetCapturedStderr();
    EXPECT_NE(portLog.find("error 40021"), std::string::npos) << portLog;
    EXPECT_TRUE(form.isVisible());
}

TEST_F(Window, FormLoadStartsThePositionKeeperByNameBeforeReadingAnySetting) {
    std::vector<std::string> log;
    client::Form1 form([&](host::UserControlSite& site) {
        return std::make_unique<FakeKeeper>(site, log, file());
    });
    EXPECT_EQ(log,
              (std::vector<std::string>{
                  "Initialize", "ReadProperties QUORIX_Affich_client.ini Form1",
                  "INIT Form1 QUORIXaffich.ini PositionFenetre parent Form1 before any setting"}));
    EXPECT_NE(form.Controls("SavePosition"), nullptr);
    EXPECT_EQ(form.Controls("savePOSITION"), form.Controls("SavePosition"));
    EXPECT_EQ(form.Controls("Text1"), nullptr);
    ASSERT_NE(form.PositionKeeperSite(), nullptr);
    EXPECT_EQ(form.PositionKeeperSite()->geometry(), QRect(0, 0, 7, 7));

    client::Form1 without;
    EXPECT_EQ(without.Controls("SavePosition"), nullptr);
}

TEST(ChooseValue, ReturnsTheValueForTheCondition) {
    EXPECT_EQ(client::ChooseValue(true, -1, -2), -1);
    EXPECT_EQ(client::ChooseValue(false, -1, -2), -2);
    EXPECT_EQ(client::ChooseValue(3.5, std::string("a"), std::string("b")), "a");
    EXPECT_EQ(client::ChooseValue(0, std::string("a"), std::string("b")), "b");
}

TEST_F(Window, KeepOnTopMovesTheWindowBetweenBandsWithoutMovingOrResizingIt) {
    client::Form1 form;
    const QRect before = form.frameGeometry();
    const auto hWnd = static_cast<int32_t>(form.AsForm().hWnd());
    client::KeepOnTop(hWnd, false);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    client::KeepOnTop(hWnd, true);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.frameGeometry(), before);
    // A handle that is none of this program's windows changes nothing.
    EXPECT_EQ(host::SetWindowPos(0, host::HWND_TOPMOST, 0, 0, 0, 0, 0x53), 0);
    EXPECT_EQ(host::SetWindowPos(hWnd + 1000, host::HWND_TOPMOST, 0, 0, 0, 0, 0x53), 0);
}

TEST_F(Window, AKeeperThatFailsToStartIsLoggedAndTheLoadGoesOn) {
    Settings("[boutons]\n0=Bonjour\n[deroulant]\ntexte=Promo\n");
    std::vector<std::string> log;
    testing::internal::CaptureStderr();
    client::Form1 form([&](host::UserControlSite& site) {
        return std::make_unique<FakeKeeper>(site, log, file(), true);
    });
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("SavePosition.INIT stopped: error 380 in Form1.WindowState"),
              std::string::npos)
        << errors;
    EXPECT_EQ(form.Command1[0]->text(), "Bonjour");
    EXPECT_EQ(form.Text1->text(), "Promo") << "the designed Text1 would be sent and stored";
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(Window, IsNeverNarrowerThanDesignedNorShownWithoutTakingTheKeyboard) {
    client::Form1 form;
    form.AsForm().Move(1500, 1500, 0, 0);  // a record with two fields
    EXPECT_EQ(form.AsForm().Width(), 1950);
    EXPECT_TRUE(form.testAttribute(Qt::WA_ShowWithoutActivating));
}

TEST_F(Window, APressDuringAnotherPressesYieldWaitsUntilItsProcedureEnds) {
    Receiver display;
    Settings("[boutons]\n0=A\n0 couleur=1\n1=B\n1 couleur=2\n", &display);
    client::Form1 form;
    // The second press is pending when the first one yields between its two connections.
    QMetaObject::invokeMethod(form.Command1[1], "click", Qt::QueuedConnection);
    QMetaObject::invokeMethod(form.Command3, "click", Qt::QueuedConnection);
    form.Command1[0]->click();
    ASSERT_TRUE(WaitUntil([&] { return display.Complete() == 5; }));
    EXPECT_EQ(display.messages(), (std::vector<std::string>{"A",
                                                            "\xFF"
                                                            "21",
                                                            "B",
                                                            "\xFF"
                                                            "22",
                                                            "\xFF"
                                                            "3Caisse"}));
}

TEST_F(Window, ComingBackFromMinimizedAppliesTheAdministratorSwitch) {
    Settings("[system]\nadmin=JQ\n");
    client::Form1 form;
    form.showMinimized();
    Settings("[system]\nadmin=NON\n");
    form.showNormal();
    ASSERT_TRUE(WaitUntil([&] { return form.AsForm().Height() == 87 * 15; }));
    EXPECT_FALSE(form.Text1->isEnabled());
}

TEST_F(Window, TheCaptionStripMinimizesMaximizesAndRestores) {
    client::Form1 form;
    auto* minimize = form.findChild<QToolButton*>("Minimize");
    auto* restore = form.findChild<QToolButton*>("Restore");
    auto* close = form.findChild<QToolButton*>("Close");
    ASSERT_TRUE(minimize != nullptr && restore != nullptr && close != nullptr);
    EXPECT_TRUE(restore->isHidden()) << "restore shows only while maximized";

    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(20, 10), QPointF(20, 10),
                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&form.Caption(), &doubleClick);
    ASSERT_TRUE(WaitUntil([&] { return form.isMaximized(); }));
    EXPECT_FALSE(restore->isHidden());
    restore->click();
    ASSERT_TRUE(WaitUntil([&] { return !form.isMaximized(); }));
    EXPECT_TRUE(restore->isHidden());
    minimize->click();
    ASSERT_TRUE(WaitUntil([&] { return form.isMinimized(); }));
}

TEST_F(Window, TheStatusMarkShowsTheLastMessageAndSaysWhy) {
    Receiver display;
    client::Form1 form;
    client::StatusMark& mark = form.Caption().Mark();
    EXPECT_EQ(mark.status(), client::StatusMark::Status::None);

    testing::internal::CaptureStderr();
    form.Command3->click();  // no address yet
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(mark.status(), client::StatusMark::Status::Failed);
    const std::string tip = mark.toolTip().toStdString();
    EXPECT_NE(tip.find("set ip and port under [ecran] in " + file().string()), std::string::npos)
        << tip;
    EXPECT_NE(log.find(tip), std::string::npos) << "the tooltip says what the log says: " << log;

    Settings("", &display);
    form.Command3->click();
    ASSERT_TRUE(WaitUntil([&] { return mark.status() == client::StatusMark::Status::Delivered; }));
    EXPECT_NE(mark.colour(), QColor(211, 47, 47));
}

// A box may hold characters Windows-1252 lacks: the display gets '?' for them, as its peers
// expect, and the mark's tooltip and the log say how many and which.
TEST_F(Window, TheStatusMarkSaysWhichCharactersShowAsQuestionMarks) {
    struct Case {
        const char* name;
        QLineEdit* client::Form1::*box;
        QPushButton* client::Form1::*button;
        std::string text;
        std::string bytes;
        std::string lost;  // empty when the text went out whole
    };
    using client::Form1;
    const Case cases[] = {
        {"the scrolling text", &Form1::Text1, &Form1::Command2,
         "Promo \xE2\x86\x92 \xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "\xFF"
         "1Promo ? ?\xF3"
         "d?",
         "3 characters could not be sent as Windows-1252 and show as ?: \xE2\x86\x92 \xC5\x81 "
         "\xC5\xBA"},
        {"the register's name", &Form1::text2, &Form1::Command3, "Caisse \xE2\x84\x96 2",
         "\xFF"
         "3Caisse ? 2",
         "1 character could not be sent as Windows-1252 and shows as ?: \xE2\x84\x96"},
        {"a text the code page holds", &Form1::Text1, &Form1::Command2, "Soldes \xC3\xA9t\xC3\xA9",
         "\xFF"
         "1Soldes \xE9t\xE9",
         ""},
    };
    Receiver display;
    Settings("", &display);
    client::Form1 form;
    client::StatusMark& mark = form.Caption().Mark();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = display.Complete();
        mark.Show(false, "not yet");  // so that only this press's outcome turns it green
        (form.*c.box)->setText(QString::fromStdString(c.text));
        testing::internal::CaptureStderr();
        (form.*c.button)->click();
        const bool arrived = WaitUntil([&] {
            return display.Complete() == before + 1 &&
                   mark.status() == client::StatusMark::Status::Delivered;
        });
        const std::string log = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(arrived) << log;
        EXPECT_EQ(display.messages().back(), c.bytes);
        EXPECT_EQ((form.*c.box)->text().toStdString(), c.text) << "the box keeps what was typed";
        const std::string tip = mark.toolTip().toStdString();
        const std::string delivered =
            "W: message to 127.0.0.1:" + std::to_string(display.port()) + " delivered";
        if (c.lost.empty()) {
            EXPECT_EQ(tip, delivered);
            EXPECT_EQ(log, "");
        } else {
            EXPECT_EQ(tip, delivered + "; " + c.lost);
            EXPECT_NE(log.find(tip + "\n"), std::string::npos)
                << "the tooltip says what the log says: " << log;
        }
    }
}
