#pragma once
// SavePosition: the window-position keeper, a user control that a form carries so that its
// position, size and window state survive from one run to the next.
//
// Its record lives in one section of a settings file (through INI32::ProfileSetting):
//   PositionsTaille = the window state code as number text (" 0", " 1", " 2")
//   Positions       = outer left|top|width|height in twips, each as number text
//   Visible         = "OUI" or "NON"
// INIT applies the record and starts the one-second tick. The record is applied a second
// time with the first tick, one second later, and not with a first paint: INIT shrinks the
// control to 0 x 0, so it is never painted, and a move made in that second is undone. Without
// INIT, the first paint in the running program applies the record, once. From then on each
// tick writes the keys that changed and nothing else, so a window left alone costs no file
// access at all. In the designer the control stays a 100 x 100 twip square and never ticks.
// Runs on the user-interface thread only.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/UserControl.h"

namespace winpos {

class SavePosition final : public host::UserControl {
  public:
    // The control lives inside `site` (its host), which outlives it. Creates Timer1,
    // 1000 ms, disabled. The host calls UserControl_Initialize right after.
    explicit SavePosition(host::UserControlSite& site);
    ~SavePosition() override;
    SavePosition(const SavePosition&) = delete;
    SavePosition& operator=(const SavePosition&) = delete;

    // Properties: reading returns a copy, writing only replaces the name (nothing is read or
    // written in the settings file at that moment).
    std::string FichierINI() const { return fileName_; }
    void FichierINI(std::string Champ) { fileName_ = std::move(Champ); }
    std::string Section() const { return sectionName_; }
    void Section(std::string Champ) { sectionName_ = std::move(Champ); }

    // Starts the control on Fenetre: an empty FichierINI keeps the current file name, the
    // section is always replaced; the stored record is applied at once and the control
    // shrinks to 0 x 0. Traps nothing: the first failing step throws, the steps before it
    // keep their effect.
    void INIT(host::Form& Fenetre, std::string FichierINI, std::string Section_INI);

    void UserControl_Initialize() override;
    void UserControl_ReadProperties(host::PropertyBag& PropBag) override;
    void UserControl_WriteProperties(host::PropertyBag& PropBag) override;
    void UserControl_Resize() override;
    void UserControl_Paint() override;
    // "INIT" with (Form*, string, string); anything else is refused with Error 438.
    void CallByName(const std::string& method, const std::vector<host::Argument>& args) override;

    // The tick: restores the first time in the running program, saves every later time.
    // Never reports an error: each step that fails is skipped.
    void Timer1_Timer();

    // Read-only view of the state, for the host and for tests.
    bool Started() const { return started_; }
    bool Restored() const { return restored_; }
    const host::Timer& Timer1() const { return *timer1_; }

  private:
    // The last bounds and visibility a tick restored or saved; unset compares as 0 / false.
    using Bounds = std::array<std::optional<double>, 4>;

    host::Form& TrackedWindow() const;
    void RestorePath();
    void SavePath();
    bool BoundsChanged() const;
    // Applies the stored state code, with the window's current state as the default.
    void ApplyStoredState();
    std::string Setting(const std::string& key, const std::string& value, int16_t mode) const;

    host::UserControlSite& site_;
    std::unique_ptr<host::Timer> timer1_;
    std::string fileName_;
    std::string sectionName_ = "default";
    host::Form* tracked_ = nullptr;
    bool started_ = false;
    bool restored_ = false;
    bool painted_ = false;
    Bounds lastBounds_;
    std::optional<bool> lastVisible_;
};

}  // namespace winpos
