#pragma once
// The Qt side of a user control: a child widget of a form that creates the control, hands it
// the host's notifications (creation, saved properties, resize, paint) and answers its
// questions (user mode, holding form, own size, timers) as host::UserControlSite.
//
// Every notification runs through the event-procedure guard: an error that escapes the
// control is logged and the form keeps running. User-interface thread only.

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "host/UserControl.h"

namespace host {

// Makes a control that lives inside the given site.
using UserControlFactory = std::function<std::unique_ptr<UserControl>(UserControlSite&)>;

// Saved properties held in memory: the stored description of one control on its form.
class MemoryPropertyBag final : public PropertyBag {
  public:
    MemoryPropertyBag() = default;
    explicit MemoryPropertyBag(std::map<std::string, std::string> saved)
        : saved_(std::move(saved)) {}
    std::string ReadProperty(const std::string& name, const std::string& defaultValue) override;
    void WriteProperty(const std::string& name, const std::string& value) override;
    const std::map<std::string, std::string>& saved() const { return saved_; }

  private:
    std::map<std::string, std::string> saved_;
};

class UserControlHost final : public QWidget, public UserControlSite {
    Q_OBJECT

  public:
    // A host widget named `name` inside `parent`. `form` is the form that holds it, or null
    // when the parent is not a form (ParentForm then throws Error 13); it must outlive the
    // host. User mode is on.
    UserControlHost(QWidget* parent, Form* form, const std::string& name);
    ~UserControlHost() override;

    // Creates the control with `make`, then runs UserControl_Initialize and
    // UserControl_ReadProperties(stored). A failure in either is logged; the control stays.
    // A factory that fails leaves the host empty. Replaces any earlier control.
    void Load(const UserControlFactory& make, PropertyBag& stored);
    // Runs UserControl_WriteProperties(bag), as the designer does when it saves the form.
    void Save(PropertyBag& bag);

    // The control, or null before Load.
    UserControl* Control() const { return control_.get(); }
    std::string Name() const { return objectName().toStdString(); }

    // True in the running program (the default), false to act as the designer.
    void SetUserMode(bool userMode) { userMode_ = userMode; }

    bool UserMode() const override { return userMode_; }
    Form& ParentForm() override;
    float Width() const override;
    float Height() const override;
    // Rounded to whole pixels; Error 380 for a negative or non-finite size.
    void SetWidth(float twips) override;
    void SetHeight(float twips) override;
    std::unique_ptr<Timer> CreateTimer(std::function<void()> onTick) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    Form* form_;
    bool userMode_ = true;
    std::unique_ptr<UserControl> control_;
};

}  // namespace host
