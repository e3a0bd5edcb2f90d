// The object model shared by forms, controls and menus: components with an
// owner and a name, typed events, shift states and geometry.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/sysutils.h"

class TObject {
public:
    virtual ~TObject() = default;
};

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner) : owner_(owner) {
        if (owner_) owner_->components_.push_back(this);
    }
    ~TComponent() override {
        if (owner_) {
            // The newest usually goes first, so the search starts at the back.
            auto& list = owner_->components_;
            if (auto it = std::find(list.rbegin(), list.rend(), this); it != list.rend())
                list.erase(std::next(it).base());
        }
        for (TComponent* c : components_) c->owner_ = nullptr;
    }
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    // The components made with this one as their owner and not yet
    // destroyed, in order of creation.
    const std::vector<TComponent*>& Components() const { return components_; }
    std::string Name;

private:
    TComponent* owner_;
    std::vector<TComponent*> components_;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

enum TShiftBit : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64
};
using TShiftState = unsigned;

enum class TMouseButton { Left, Right, Middle };
using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;

using TKeyEvent = std::function<void(TObject* sender, Word& key, TShiftState shift)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

struct TPoint {
    int x = 0, y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const TRect&) const = default;
};

// Modal results and message-box answers share the platform's numbers.
constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;
constexpr int mrYes = 6;
constexpr int mrNo = 7;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_YESNO = 0x04;
constexpr unsigned MB_ICONSTOP = 0x10;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
