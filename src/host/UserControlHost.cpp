#include "host/UserControlHost.h"

#include <cmath>

#include "common/Error.h"
#include "host/EventProcedure.h"
#include "host/QtForm.h"
#include "host/QtTimer.h"

namespace host {
namespace {

constexpr int32_t kErrTypeMismatch = 13;

int CheckedSize(float twips, const std::string& source) {
    if (!std::isfinite(twips) || twips < 0 || twips / kTwipsPerPixel > 16777215.0f) {
        throw Error(kErrInvalidPropertyValue, source, "Invalid property value");
    }
    return ToPixels(twips);
}

}  // namespace

std::string MemoryPropertyBag::ReadProperty(const std::string& name,
                                            const std::string& defaultValue) {
    const auto found = saved_.find(name);
    return found == saved_.end() ? defaultValue : found->second;
}

void MemoryPropertyBag::WriteProperty(const std::string& name, const std::string& value) {
    saved_[name] = value;
}

UserControlHost::UserControlHost(QWidget* parent, Form* form, const std::string& name)
    : QWidget(parent), form_(form) {
    setObjectName(QString::fromStdString(name));
    setFocusPolicy(Qt::NoFocus);
}

UserControlHost::~UserControlHost() = default;

void UserControlHost::Load(const UserControlFactory& make, PropertyBag& stored) {
    control_.reset();
    const std::string name = Name();
    RunEventProcedure(name + "_Create", [&] { control_ = make(*this); });
    if (!control_) return;
    RunEventProcedure(name + ".UserControl_Initialize",
                      [&] { control_->UserControl_Initialize(); });
    RunEventProcedure(name + ".UserControl_ReadProperties",
                      [&] { control_->UserControl_ReadProperties(stored); });
}

void UserControlHost::Save(PropertyBag& bag) {
    if (!control_) return;
    RunEventProcedure(Name() + ".UserControl_WriteProperties",
                      [&] { control_->UserControl_WriteProperties(bag); });
}

Form& UserControlHost::ParentForm() {
    if (form_ == nullptr) throw Error(kErrTypeMismatch, Name() + ".Parent", "Type mismatch");
    return *form_;
}

float UserControlHost::Width() const {
    return ToTwips(width());
}
float UserControlHost::Height() const {
    return ToTwips(height());
}

void UserControlHost::SetWidth(float twips) {
    resize(CheckedSize(twips, Name() + ".Width"), height());
}

void UserControlHost::SetHeight(float twips) {
    resize(width(), CheckedSize(twips, Name() + ".Height"));
}

std::unique_ptr<Timer> UserControlHost::CreateTimer(std::function<void()> onTick) {
    return std::make_unique<QtTimer>(std::move(onTick));
}

void UserControlHost::paintEvent(QPaintEvent*) {
    if (control_)
        RunEventProcedure(Name() + ".UserControl_Paint", [this] { control_->UserControl_Paint(); });
}

void UserControlHost::resizeEvent(QResizeEvent*) {
    if (control_)
        RunEventProcedure(Name() + ".UserControl_Resize",
                          [this] { control_->UserControl_Resize(); });
}

}  // namespace host
