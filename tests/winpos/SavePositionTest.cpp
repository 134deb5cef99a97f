#include "winpos/SavePosition.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>

#include "Fakes.h"
#include "platform/Application.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using winpos::SavePosition;

namespace {

class Keeper : public ::testing::Test {
  protected:
    void SetUp() override {
        site.parent = &form;
        control = std::make_unique<SavePosition>(site);
        control->UserControl_Initialize();
    }

    fs::path file() const { return temp.settings() / "QUORIXaffich.ini"; }
    std::string Record() const { return fs::exists(file()) ? ReadFile(file()) : "<none>"; }
    void Store(const std::string& content) { WriteFile(file(), content); }
    void Start() { control->INIT(form, "QUORIXaffich.ini", "PositionFenetre"); }
    void Tick() { site.timer->onTick(); }

    TempFolder temp;
    FakeForm form;
    FakeSite site;
    std::unique_ptr<SavePosition> control;
};

// The keeper hands " 0" and " 1200| 900| ..." to the settings routine; like the platform's
// INI service, the file stores a value without its leading blanks, and both read back the same.
const char* const kSaved =
    "[PositionFenetre]\nPositionsTaille=0\nPositions=1200| 900| 4800| 3600\nVisible=OUI\n";

}  // namespace

TEST_F(Keeper, FirstRunWithoutRecordMovesNothingThenSavesTheWholeRecordInOrder) {
    Start();
    EXPECT_EQ(form.calls, (std::vector<std::string>{"State 0"}));
    EXPECT_EQ(Record(), "<none>");
    Tick();  // the restore path, once more
    Tick();  // the first save
    EXPECT_EQ(Record(), kSaved);
}

TEST_F(Keeper, AWindowLeftAloneCausesNoWriteAfterTheFirstSave) {
    Store("[PositionFenetre]\nPositionsTaille= 0\nPositions= 1200| 900| 4800| 3600\n");
    Start();
    Tick();
    Tick();  // only Visible is new: the last visibility starts unset
    EXPECT_EQ(Record(),
              "[PositionFenetre]\nPositionsTaille= 0\nPositions= 1200| 900| 4800| 3600\n"
              "Visible=OUI\n");

    struct stat before {};
    ::stat(file().c_str(), &before);
    for (int i = 0; i < 5; ++i)
        Tick();
    struct stat after {};
    ::stat(file().c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
}

TEST_F(Keeper, RestoreMovesToTheNormalBoundsThenAppliesTheState) {
    Store("[PositionFenetre]\nPositionsTaille= 2\nPositions=-120| 30| 5000| 3000\n");
    Start();
    EXPECT_EQ(form.calls, (std::vector<std::string>{"Move -120 30 5000 3000", "State 2"}));
    EXPECT_EQ(site.width, 0);
    EXPECT_EQ(site.height, 0);
    EXPECT_TRUE(site.timer->enabled);
    EXPECT_FALSE(control->Restored());

    // The first tick restores again; the window is maximized now, so the move is refused
    // and the state is still applied.
    form.calls.clear();
    Tick();
    EXPECT_EQ(form.calls, (std::vector<std::string>{"State 2"}));
    EXPECT_TRUE(control->Restored());
}

TEST_F(Keeper, TheFirstTickUndoesAMoveMadeSinceInit) {
    Store("[PositionFenetre]\nPositions= 10| 20| 3000| 2000\n");
    Start();
    form.left = 999;
    Tick();
    EXPECT_EQ(form.left, 10);
}

TEST_F(Keeper, StoredRecordsAreAppliedAsTheyStand) {
    struct Case {
        const char* name;
        const char* record;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"no record", "", {"State 0"}},
        {"positions 0", "Positions=0\n", {"State 0"}},
        {"positions empty", "Positions=\n", {"State 0"}},
        {"two fields give width and height 0",
         "Positions=100|200\n",
         {"Move 100 200 0 0", "State 0"}},
        {"junk fields read as 0", "Positions=x|y|z|w\n", {"Move 0 0 0 0", "State 0"}},
        {"off every screen",
         "Positions=-90000| 90000| 4800| 3600\n",
         {"Move -90000 90000 4800 3600", "State 0"}},
        {"state rounds halves to even", "PositionsTaille=1.5\n", {"State 2"}},
        {"state 2.5 rounds to 2", "PositionsTaille=2.5\n", {"State 2"}},
        {"invalid state is refused, nothing else changes", "PositionsTaille=7\n", {}},
    };
    for (const auto& c : cases) {
        Store(std::string("[PositionFenetre]\n") + c.record);
        form = FakeForm{};
        site.parent = &form;
        control = std::make_unique<SavePosition>(site);
        control->UserControl_Initialize();
        control->FichierINI("QUORIXaffich.ini");
        control->Section("PositionFenetre");
        control->UserControl_Paint();  // restore through the first paint, which never throws
        EXPECT_EQ(form.calls, c.calls) << c.name;
        EXPECT_TRUE(control->Restored()) << c.name;
        EXPECT_EQ(site.width, 0) << c.name;
    }
}

TEST_F(Keeper, InitTrapsNothingAndKeepsTheStepsBeforeTheFailure) {
    Store("[PositionFenetre]\nPositions= 1| 2| 3| 4\n");
    form.refuseMoves = true;
    EXPECT_THROW(Start(), Error);
    EXPECT_EQ(control->Section(), "PositionFenetre");
    EXPECT_EQ(control->FichierINI(), "QUORIXaffich.ini");
    EXPECT_TRUE(site.timer->enabled);
    EXPECT_NE(site.width, 0);  // the shrink comes after the failing move

    Store("[PositionFenetre]\nPositionsTaille=9\n");
    form.refuseMoves = false;
    try {
        Start();
        FAIL() << "an invalid state code must reach the caller";
    } catch (const Error& e) {
        EXPECT_EQ(e.number, host::kErrInvalidPropertyValue);
    }
}

TEST_F(Keeper, InitArgumentsReplaceFileAndSectionAsDocumented) {
    control->FichierINI("from-properties.ini");
    control->INIT(form, "", "");
    EXPECT_EQ(control->FichierINI(), "from-properties.ini");
    EXPECT_EQ(control->Section(), "");
}

TEST_F(Keeper, AMinimizedWindowKeepsItsBoundsSoOnlyAMaximizedOneRewritesItsState) {
    Start();
    Tick();
    Tick();
    // A minimized window keeps its bounds (as on X11): nothing changed, nothing is written,
    // so the record never says minimized and the window reopens normal.
    form.state = host::kStateMinimized;
    Tick();
    form.state = host::kStateNormal;
    Tick();
    EXPECT_EQ(Record(), kSaved);

    // Maximized, the window has other bounds: only the state is rewritten.
    form.state = host::kStateMaximized;
    form.left = 0, form.top = 0, form.width = 19200, form.height = 15360;
    Tick();
    EXPECT_EQ(Record(),
              "[PositionFenetre]\nPositionsTaille=2\nPositions=1200| 900| 4800| 3600\n"
              "Visible=OUI\n");
    // Back to exactly the last normal bounds: nothing is written, the state code stays 2.
    form.state = host::kStateNormal;
    form.left = 1200, form.top = 900, form.width = 4800, form.height = 3600;
    Tick();
    EXPECT_EQ(Record(),
              "[PositionFenetre]\nPositionsTaille=2\nPositions=1200| 900| 4800| 3600\n"
              "Visible=OUI\n");
    // A real move saves state and bounds again.
    form.left = 1500.5f;
    Tick();
    EXPECT_EQ(Record(),
              "[PositionFenetre]\nPositionsTaille=0\nPositions=1500.5| 900| 4800| 3600\n"
              "Visible=OUI\n");
}

TEST_F(Keeper, VisibilityIsWrittenOnlyWhenItChanges) {
    form.visible = false;
    Start();
    Tick();
    Tick();
    EXPECT_EQ(Record().find("Visible"), std::string::npos);  // unset counts as hidden
    form.visible = true;
    Tick();
    EXPECT_NE(Record().find("Visible=OUI"), std::string::npos);
    form.visible = false;
    Tick();
    EXPECT_NE(Record().find("Visible=NON"), std::string::npos);
}

TEST_F(Keeper, WithoutAUsableWindowNothingIsWrittenButTheTickGoesOn) {
    site.parent = nullptr;  // the parent is not a form, and INIT never ran
    control->UserControl_Paint();
    Tick();
    Tick();
    EXPECT_EQ(Record(), "<none>");
    EXPECT_TRUE(control->Restored());
    EXPECT_TRUE(site.timer->enabled);
    EXPECT_EQ(site.width, 0);
}

TEST_F(Keeper, ChangingFileOrSectionAfterTheRestoreRedirectsLaterSaves) {
    Start();
    Tick();
    control->Section("Elsewhere");
    Tick();
    EXPECT_NE(Record().find("[Elsewhere]\nPositionsTaille=0\n"), std::string::npos);
    EXPECT_EQ(Record().find("[PositionFenetre]"), std::string::npos);
}

TEST_F(Keeper, DesignerKeepsTheControlSquareAndNeverTicks) {
    site.userMode = false;
    control->UserControl_Resize();
    EXPECT_EQ(site.width, 100);
    EXPECT_EQ(site.height, 100);
    control->UserControl_Paint();
    EXPECT_FALSE(control->Restored());
    site.timer->enabled = true;  // a tick that ever ran in the designer switches the timer off
    Tick();
    EXPECT_FALSE(site.timer->enabled);
    EXPECT_EQ(Record(), "<none>");

    // Only the first paint counts, whatever its mode.
    site.userMode = true;
    control->UserControl_Paint();
    EXPECT_FALSE(control->Restored());
}

TEST_F(Keeper, ResizesAreLeftAloneOnceStarted) {
    Start();
    site.width = 555;
    control->UserControl_Resize();
    EXPECT_EQ(site.width, 555);
}

TEST_F(Keeper, PropertiesLoadWithTheirDefaultsAndSaveAlways) {
    EXPECT_EQ(control->FichierINI(),
              platform::ApplicationFolder() + "\\" + platform::ApplicationName() + ".ini");
    EXPECT_EQ(control->Section(), "default");

    FakeBag empty;
    control->UserControl_ReadProperties(empty);
    EXPECT_EQ(control->FichierINI(), "Positions.ini");
    EXPECT_EQ(control->Section(), "Form1");  // "default" becomes the holding form's name

    FakeBag designer;  // placed, saved with "default", loaded again, saved again
    control->UserControl_Initialize();
    control->UserControl_WriteProperties(designer);
    EXPECT_EQ(designer.saved["Section"], "default");
    control->UserControl_ReadProperties(designer);
    control->UserControl_WriteProperties(designer);
    EXPECT_EQ(designer.saved["Section"], "Form1");

    FakeBag stored;
    stored.saved = {{"FichierINI", "QUORIX_Affich_client.ini"}, {"Section", "Form1"}};
    control->UserControl_ReadProperties(stored);
    EXPECT_EQ(control->FichierINI(), "QUORIX_Affich_client.ini");

    site.parent = nullptr;  // a holding form without a name reaches the host as an error
    FakeBag nameless;
    EXPECT_THROW(control->UserControl_ReadProperties(nameless), Error);
}

TEST_F(Keeper, InitIsReachedByName) {
    control->CallByName("INIT",
                        {&form, std::string("QUORIXaffich.ini"), std::string("PositionFenetre")});
    EXPECT_TRUE(control->Started());
    EXPECT_EQ(control->Section(), "PositionFenetre");
    try {
        control->CallByName("Init2", {});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number, host::kErrNoSuchMethod);
    }
    EXPECT_THROW(control->CallByName("INIT", {std::string("x")}), Error);
}
