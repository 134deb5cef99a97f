#include "winpos/SavePosition.h"

#include <cmath>
#include <limits>

#include "common/Error.h"
#include "common/IgnoringErrors.h"
#include "common/LeadingNumber.h"
#include "common/NumberText.h"
#include "settings/INI32.h"
#include "settings/SettingsFile.h"
#include "winpos/GetField.h"

namespace winpos {
namespace {

constexpr int kTickMilliseconds = 1000;
constexpr float kDesignerSize = 100.0f;
const char* const kSeparator = "|";

// The stored state code as a whole number, halves to even. Out of range: Error 6.
int16_t StateCode(const std::string& text) {
    const double rounded = std::nearbyint(LeadingNumber(text));  // default mode: to even
    if (!(rounded >= std::numeric_limits<int16_t>::min() &&
          rounded <= std::numeric_limits<int16_t>::max())) {
        throw Error(6, "SavePosition", "Overflow");
    }
    return static_cast<int16_t>(rounded);
}

// The four bounds of a "Positions" value, by field; a field without a number reads as 0.
std::array<double, 4> StoredBounds(const std::string& value) {
    std::array<double, 4> bounds{};
    for (int16_t n = 1; n <= 4; ++n)
        bounds[n - 1] = LeadingNumber(GetField(value, kSeparator, n));
    return bounds;
}

void MoveTo(host::Form& window, double left, double top, double width, double height) {
    window.Move(static_cast<float>(left), static_cast<float>(top), static_cast<float>(width),
                static_cast<float>(height));
}

}  // namespace

SavePosition::SavePosition(host::UserControlSite& site)
    : site_(site), timer1_(site.CreateTimer([this] { Timer1_Timer(); })) {
    timer1_->SetInterval(kTickMilliseconds);
    timer1_->SetEnabled(false);
}

SavePosition::~SavePosition() = default;

host::Form& SavePosition::TrackedWindow() const {
    if (tracked_ == nullptr) {
        throw Error(91, "SavePosition", "Object variable or With block variable not set");
    }
    return *tracked_;
}

std::string SavePosition::Setting(const std::string& key, const std::string& value,
                                  int16_t mode) const {
    return INI32::ProfileSetting(sectionName_, key, value, fileName_, mode);
}

void SavePosition::ApplyStoredState() {
    host::Form& window = TrackedWindow();
    const std::string state = Setting("PositionsTaille", NumberText(window.WindowState()), 1);
    window.SetWindowState(StateCode(state));
}

void SavePosition::INIT(host::Form& Fenetre, std::string FichierINI, std::string Section_INI) {
    tracked_ = &Fenetre;
    started_ = true;
    if (!FichierINI.empty()) fileName_ = std::move(FichierINI);
    sectionName_ = std::move(Section_INI);
    timer1_->SetEnabled(true);
    const std::string value = Setting("Positions", "0", 1);
    if (value != "0") {
        const auto bounds = StoredBounds(value);  // the last bounds are not touched here
        MoveTo(Fenetre, bounds[0], bounds[1], bounds[2], bounds[3]);
    }
    ApplyStoredState();
    site_.SetWidth(0);
    site_.SetHeight(0);
}

void SavePosition::UserControl_Initialize() {
    started_ = false;
    fileName_ = INI32::DefaultSettingsFile();
    sectionName_ = "default";
}

void SavePosition::UserControl_ReadProperties(host::PropertyBag& PropBag) {
    fileName_ = PropBag.ReadProperty("FichierINI", "Positions.ini");
    sectionName_ = PropBag.ReadProperty("Section", "default");
    if (sectionName_ == "default") sectionName_ = site_.ParentForm().Name();
}

void SavePosition::UserControl_WriteProperties(host::PropertyBag& PropBag) {
    PropBag.WriteProperty("FichierINI", fileName_);
    PropBag.WriteProperty("Section", sectionName_);
}

void SavePosition::UserControl_Resize() {
    if (!started_) {
        site_.SetWidth(kDesignerSize);
        site_.SetHeight(kDesignerSize);
    }
}

void SavePosition::UserControl_Paint() {
    if (painted_) return;
    if (site_.UserMode()) Timer1_Timer();
    painted_ = true;
}

void SavePosition::CallByName(const std::string& method, const std::vector<host::Argument>& args) {
    if (method != "INIT") {
        throw Error(host::kErrNoSuchMethod, "SavePosition",
                    "Object doesn't support this property or method");
    }
    const auto* window = args.size() == 3 ? std::get_if<host::Form*>(&args[0]) : nullptr;
    const auto* file = args.size() == 3 ? std::get_if<std::string>(&args[1]) : nullptr;
    const auto* section = args.size() == 3 ? std::get_if<std::string>(&args[2]) : nullptr;
    if (window == nullptr || file == nullptr || section == nullptr) {
        throw Error(13, "SavePosition", "Type mismatch");
    }
    if (*window == nullptr) {
        throw Error(91, "SavePosition", "Object variable or With block variable not set");
    }
    INIT(**window, *file, *section);
}

void SavePosition::Timer1_Timer() {
    // The tick never reports an error: a step that fails is skipped, and a test that fails
    // lets the steps it guards run.
    if (HoldsIgnoringErrors([&] { return !site_.UserMode(); })) {
        IgnoringErrors([&] { timer1_->SetEnabled(false); });
        return;
    }
    if (!restored_) {
        RestorePath();
    } else {
        SavePath();
    }
}

void SavePosition::RestorePath() {
    // Track the form the control sits on; the control counts as started from here.
    IgnoringErrors([&] { tracked_ = &site_.ParentForm(); });
    started_ = true;
    // Stored bounds become the last saved ones, and the window moves to them.
    std::string value;
    IgnoringErrors([&] { value = Setting("Positions", "0", 1); });
    if (HoldsIgnoringErrors([&] { return value != "0"; })) {
        for (size_t n = 0; n < 4; ++n) {
            IgnoringErrors([&] {
                lastBounds_[n] =
                    LeadingNumber(GetField(value, kSeparator, static_cast<int16_t>(n + 1)));
            });
        }
        IgnoringErrors([&] {
            MoveTo(TrackedWindow(), lastBounds_[0].value_or(0), lastBounds_[1].value_or(0),
                   lastBounds_[2].value_or(0), lastBounds_[3].value_or(0));
        });
    }
    // Keep ticking, apply the stored window state, and shrink the control out of sight.
    IgnoringErrors([&] { timer1_->SetEnabled(true); });
    IgnoringErrors([&] { ApplyStoredState(); });
    IgnoringErrors([&] { site_.SetWidth(0); });
    IgnoringErrors([&] { site_.SetHeight(0); });
    restored_ = true;
}

bool SavePosition::BoundsChanged() const {
    const host::Form& window = TrackedWindow();
    const std::array<double, 4> current = {window.Left(), window.Top(), window.Width(),
                                           window.Height()};
    for (size_t i = 0; i < current.size(); ++i) {
        if (current[i] != lastBounds_[i].value_or(0)) return true;
    }
    return false;
}

void SavePosition::SavePath() {
    // The bounds moved: save the window state, and the bounds themselves while the window is
    // in the normal state (a minimized or maximized window keeps its last normal bounds).
    if (HoldsIgnoringErrors([&] { return BoundsChanged(); })) {
        IgnoringErrors(
            [&] { Setting("PositionsTaille", NumberText(TrackedWindow().WindowState()), 0); });
        if (HoldsIgnoringErrors(
                [&] { return TrackedWindow().WindowState() == host::kStateNormal; })) {
            IgnoringErrors([&] {
                const host::Form& window = TrackedWindow();
                const float left = window.Left(), top = window.Top();
                const float width = window.Width(), height = window.Height();
                Setting("Positions",
                        NumberText(left) + kSeparator + NumberText(top) + kSeparator +
                            NumberText(width) + kSeparator + NumberText(height),
                        0);
                lastBounds_ = {left, top, width, height};
            });
        }
    }
    // The window was shown or hidden: save its visibility.
    if (HoldsIgnoringErrors(
            [&] { return TrackedWindow().Visible() != lastVisible_.value_or(false); })) {
        IgnoringErrors([&] {
            const bool visible = TrackedWindow().Visible();
            Setting("Visible", visible ? "OUI" : "NON", 0);
            lastVisible_ = visible;
        });
    }
}

}  // namespace winpos
