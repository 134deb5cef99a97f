#pragma once
// A form, a host and a property bag that record what the position keeper does to them.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Error.h"
#include "host/UserControl.h"

class FakeForm : public host::Form {
  public:
    float left = 1200, top = 900, width = 4800, height = 3600;
    int16_t state = host::kStateNormal;
    bool visible = true;
    std::string name = "Form1";
    bool refuseMoves = false;        // as a window does while minimized or maximized
    std::vector<std::string> calls;  // "Move ...", "State n"

    float Left() const override { return left; }
    float Top() const override { return top; }
    float Width() const override { return width; }
    float Height() const override { return height; }
    void SetHeight(float twips) override { height = twips; }
    void Move(float l, float t, float w, float h) override {
        if (refuseMoves || state != host::kStateNormal) {
            throw Error(host::kErrCantMoveMinMax, "Form1", "can't move");
        }
        left = l, top = t, width = w, height = h;
        calls.push_back("Move " + std::to_string(int(l)) + " " + std::to_string(int(t)) + " " +
                        std::to_string(int(w)) + " " + std::to_string(int(h)));
    }
    int16_t WindowState() const override { return state; }
    void SetWindowState(int16_t code) override {
        if (code < 0 || code > 2) throw Error(host::kErrInvalidPropertyValue, "Form1", "invalid");
        state = code;
        calls.push_back("State " + std::to_string(code));
    }
    bool Visible() const override { return visible; }
    std::string Name() const override { return name; }
    uint32_t hWnd() const override { return 42; }
};

class FakeTimer : public host::Timer {
  public:
    explicit FakeTimer(std::function<void()> tick) : onTick(std::move(tick)) {}
    void SetInterval(int ms) override { interval = ms; }
    int Interval() const override { return interval; }
    void SetEnabled(bool on) override { enabled = on; }
    bool Enabled() const override { return enabled; }
    std::function<void()> onTick;
    int interval = 0;
    bool enabled = false;
};

class FakeSite : public host::UserControlSite {
  public:
    FakeForm* parent = nullptr;  // null: the parent is not a form
    bool userMode = true;
    float width = 1575, height = 1575;
    FakeTimer* timer = nullptr;

    bool UserMode() const override { return userMode; }
    host::Form& ParentForm() override {
        if (parent == nullptr) throw Error(13, "UserControl", "Type mismatch");
        return *parent;
    }
    float Width() const override { return width; }
    float Height() const override { return height; }
    void SetWidth(float twips) override { width = twips; }
    void SetHeight(float twips) override { height = twips; }
    std::unique_ptr<host::Timer> CreateTimer(std::function<void()> onTick) override {
        auto made = std::make_unique<FakeTimer>(std::move(onTick));
        timer = made.get();
        return made;
    }
};

class FakeBag : public host::PropertyBag {
  public:
    std::map<std::string, std::string> saved;
    std::string ReadProperty(const std::string& name, const std::string& defaultValue) override {
        const auto it = saved.find(name);
        return it == saved.end() ? defaultValue : it->second;
    }
    void WriteProperty(const std::string& name, const std::string& value) override {
        saved[name] = value;
    }
};
