#pragma once
// A user control: a reusable control that a form carries, and the host framework around it.
//
// The host creates the control, tells it what happens through the UserControl_* handlers
// (creation, loading and saving of its properties, resize, paint) and answers its questions
// through UserControlSite (user mode or designer, the holding form, its own size, timers).
// Saved properties come from the holding form's stored description through a PropertyBag.

#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "host/Form.h"
#include "host/Timer.h"

namespace host {

// The saved properties of one control instance.
class PropertyBag {
  public:
    virtual ~PropertyBag() = default;
    // The saved value of the property, or defaultValue when none is saved.
    virtual std::string ReadProperty(const std::string& name, const std::string& defaultValue) = 0;
    virtual void WriteProperty(const std::string& name, const std::string& value) = 0;
};

// What a control may ask of its host.
class UserControlSite {
  public:
    virtual ~UserControlSite() = default;
    // True in the running program, false in the designer.
    virtual bool UserMode() const = 0;
    // The form that holds the control. Throws Error when the parent is not a form.
    virtual Form& ParentForm() = 0;
    // The control's own size in twips; the host may snap it to whole pixels.
    virtual float Width() const = 0;
    virtual float Height() const = 0;
    virtual void SetWidth(float twips) = 0;
    virtual void SetHeight(float twips) = 0;
    // A new timer, disabled, whose ticks run onTick.
    virtual std::unique_ptr<Timer> CreateTimer(std::function<void()> onTick) = 0;
};

// An argument of a call by name.
using Argument = std::variant<std::string, double, Form*>;

// The control's side: the host's notifications, and calls by name.
class UserControl {
  public:
    virtual ~UserControl() = default;
    virtual void UserControl_Initialize() = 0;
    virtual void UserControl_ReadProperties(PropertyBag& PropBag) = 0;
    virtual void UserControl_WriteProperties(PropertyBag& PropBag) = 0;
    virtual void UserControl_Resize() = 0;
    virtual void UserControl_Paint() = 0;
    // Runs the public method named `method` with the arguments. Throws Error 438 for a
    // method the control does not have, Error 13 ("Type mismatch") for wrong arguments.
    virtual void CallByName(const std::string& method, const std::vector<Argument>& args) = 0;
};

}  // namespace host
