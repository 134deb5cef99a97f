#pragma once
// Form1, the client's only window ("Afficheur"): three message buttons, the scrolling text
// and its button, the register's name and its button, the display link W, and a place for
// the window-position keeper.
//
// Every setting comes from QUORIXaffich.ini through INI32::ProfileSetting, read afresh each
// time it is needed; the captions and boxes are the only copies held in memory. Each button
// press sends its message(s) to the display through W and returns at once. Event procedures
// trap nothing: a failing step ends the procedure, and the host's guard logs the error.
//
// The window draws its own frame (a one-pixel border, a caption strip with the link's status
// mark and the minimize, restore and close buttons, and grips on the left and right edges
// for the width) so that its outer height, and with it the administrator switch's layouts,
// does not depend on the window manager's decorations. Controls stand in the client area
// below the caption, at the twips positions of the design. The window appears above all
// others without taking the keyboard from the cash register. A press that comes while a
// message button's procedure runs waits until that procedure ends. User-interface thread
// only; needs a QApplication.

#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "client/CaptionStrip.h"
#include "client/EdgeGrip.h"
#include "host/Link.h"
#include "host/QtForm.h"
#include "host/UserControlHost.h"
#include "settings/SettingsFile.h"

namespace client {

inline constexpr const char* kSettingsFile = INI32::kClientSettingsFile;
// The name of the window-position keeper on the form, as Form_Load calls it.
inline constexpr const char* kPositionKeeper = "SavePosition";

class Form1 final : public QWidget {
  public:
    // Creates the window and its controls, the position keeper with makeSavePosition (none
    // when it is empty), then runs Form_Load, which shows the window above all others.
    explicit Form1(const host::UserControlFactory& makeSavePosition = {});
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // The user control of that name (matched without regard to case), or null.
    host::UserControl* Controls(const std::string& name) const;
    // The window as the system's code sees it (outer bounds in twips, state, name, handle).
    host::QtForm& AsForm() { return form_; }
    // The caption strip of the window's own frame (its buttons and the link's status mark).
    CaptionStrip& Caption() const { return *caption_; }
    // The host of the position keeper (user mode, size); null when none was made.
    host::UserControlHost* PositionKeeperSite() const { return savePosition_.get(); }

    // Button presses. Each reads its settings afresh and sends through W.
    void Command1_Click(int16_t Index);
    void Command2_Click();
    void Command3_Click();

    // Controls, in tab order. Owned by the window.
    std::array<QPushButton*, 3> Command1{};
    QLineEdit* Text1 = nullptr;
    QPushButton* Command2 = nullptr;
    QLineEdit* text2 = nullptr;
    QPushButton* Command3 = nullptr;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void Form_Load();
    void Form_Resize();
    // Form_Resize under the event-procedure guard.
    void RunFormResize();

    // Runs a press's event procedure under the guard, or, while another press's procedure
    // runs (inside its DoEvents), once that one and those before it have ended.
    void Press(const char* procedure, std::function<void()> body);

    // Starts the position keeper by name; it restores the window's last bounds and state.
    void StartPositionKeeper();
    // Reads [ecran] ip and port afresh and connects W to them.
    void ConnectToDisplay();
    // Sets the outer height while the window is in the normal state; otherwise leaves it.
    void SetOuterHeight(float twips);
    void CreateControls(const host::UserControlFactory& makeSavePosition);
    // Places the client area, the caption strip and the edge grips inside the window's frame.
    void LayOutFrame();

    host::QtForm form_;
    host::Link W;
    QWidget* client_ = nullptr;  // the client area, below the caption
    CaptionStrip* caption_ = nullptr;
    EdgeGrip* leftEdge_ = nullptr;
    EdgeGrip* rightEdge_ = nullptr;
    bool pressing_ = false;  // a press's procedure is running
    struct WaitingPress {
        const char* procedure;
        std::function<void()> body;
    };
    std::deque<WaitingPress> waitingPresses_;
    // Declared last so that it goes first: the keeper may refer to the form above.
    std::unique_ptr<host::UserControlHost> savePosition_;
};

// The window's own frame, in logical pixels: a border all round and the caption strip.
inline constexpr int kBorderPixels = 1;
inline constexpr int kCaptionPixels = 22;

}  // namespace client
