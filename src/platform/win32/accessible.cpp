// The grid as assistive tools read it. Its cells are drawn, not child
// windows, so the grid hands out an accessible object of its own: the grid
// (a table) has the rows as children, each row the cells. Cells are simple
// elements of their row; the grid also answers for any cell by a cell id of
// its own, since an event can name only one object of the window.
#include "platform/win32/win32.h"
// After the SDK that winapi.h brings in.
#include <oleacc.h>

#include <memory>

namespace win32 {

namespace {

// Ids 1 to the row count are the grid's rows; from kCellIds on, its cells.
constexpr LONG kCellIds = 0x01000000;
constexpr LONG kIdColumns = 1024;
constexpr int kWholeGrid = -1;

// The cell's id in the grid, or 0 where it cannot have one.
LONG cellId(int col, int row) {
    if (col < 0 || row < 0 || col >= kIdColumns || row >= (LONG_MAX - kCellIds) / kIdColumns) return 0;
    return kCellIds + row * kIdColumns + col;
}

// The accessibility DLLs load with the first question a tool asks, not at
// start-up.
template <class F>
F* oleacc(const char* name) {
    return SystemFunction<F>(L"oleacc.dll", name);
}

BSTR bstr(const std::string& text) {
    static const auto alloc = SystemFunction<decltype(::SysAllocStringLen)>(L"oleaut32.dll", "SysAllocStringLen");
    const std::wstring wide = Widen(text);
    return alloc ? alloc(wide.data(), static_cast<UINT>(wide.size())) : nullptr;
}

// What VariantInit does, without its DLL.
void emptyVariant(VARIANT* v) {
    v->vt = VT_EMPTY;
}

// The caption of the label that names `target` (its focus control), or "".
std::string labelOf(const TControl* target, const TControl& within) {
    for (const TControl* c : within.Controls()) {
        if (c->Kind() == TControlKind::Label && static_cast<const TLabel*>(c)->FocusControl == target)
            return LabelText(*static_cast<const TLabel*>(c));
        if (std::string label = labelOf(target, *c); !label.empty()) return label;
    }
    return {};
}

struct TTarget {
    int col = -1;  // -1: the whole row
    int row = -1;  // -1: the whole grid
};

// The grid (row kWholeGrid) or one of its rows.
class TGridObject final : public IAccessible {
public:
    TGridObject(std::shared_ptr<TGridAccessibility*> link, int row) : link_(std::move(link)), row_(row) {}
    TGridObject(const TGridObject&) = delete;
    TGridObject& operator=(const TGridObject&) = delete;
    ~TGridObject() = default;

    // The new object's one reference is the caller's.
    static IAccessible* Make(std::shared_ptr<TGridAccessibility*> link, int row) {
        return std::make_unique<TGridObject>(std::move(link), row).release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid != __uuidof(IUnknown) && riid != __uuidof(IDispatch) && riid != __uuidof(IAccessible))
            return E_NOINTERFACE;
        *out = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) {
            std::unique_ptr<TGridObject> last(this);  // the last reference owned it
        }
        return static_cast<ULONG>(left);
    }

    // Clients call the accessible methods directly, never through IDispatch.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        TGridAccessibility* a = nullptr;
        if (HRESULT hr = connected(a); FAILED(hr)) return hr;
        if (row_ == kWholeGrid) {
            static const auto standard = oleacc<decltype(::CreateStdAccessibleObject)>("CreateStdAccessibleObject");
            return standard ? standard(a->Driver().Handle(), OBJID_WINDOW, __uuidof(IDispatch),
                                       reinterpret_cast<void**>(parent))
                            : E_FAIL;
        }
        return a->Root()->QueryInterface(__uuidof(IDispatch), reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        TGridAccessibility* a = nullptr;
        if (HRESULT hr = connected(a); FAILED(hr)) return hr;
        const TStringGrid& grid = *a->Driver().grid();
        *count = row_ == kWholeGrid ? grid.RowCount() : grid.ColCount();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        TGridAccessibility* a = nullptr;
        TTarget t;
        if (HRESULT hr = resolve(child, a, t); FAILED(hr)) return hr;
        if (child.lVal == CHILDID_SELF) return E_INVALIDARG;
        if (t.col >= 0) return S_FALSE;  // a cell is a simple element
        *out = Make(link_, t.row);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!name) return E_POINTER;
        *name = nullptr;
        TGridAccessibility* a = nullptr;
        TTarget t;
        if (HRESULT hr = resolve(child, a, t); FAILED(hr)) return hr;
        TStringGrid& grid = *a->Driver().grid();
        std::string text;
        if (t.row < 0) {
            if (const TForm* form = grid.ParentForm()) text = labelOf(&grid, *form);
        } else if (t.col >= 0) {
            text = grid.Cell(t.col, t.row);
        } else {
            for (int c = 0; c < grid.ColCount(); ++c) {
                const std::string& cell = grid.Cell(c, t.row);
                if (cell.empty()) continue;
                if (!text.empty()) text += ' ';
                text += cell;
            }
        }
        if (text.empty()) return S_FALSE;
        *name = bstr(text);
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_POINTER;
        emptyVariant(role);
        TGridAccessibility* a = nullptr;
        TTarget t;
        if (HRESULT hr = resolve(child, a, t); FAILED(hr)) return hr;
        role->vt = VT_I4;
        role->lVal = t.row < 0 ? ROLE_SYSTEM_TABLE : t.col < 0 ? ROLE_SYSTEM_ROW : ROLE_SYSTEM_CELL;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!state) return E_POINTER;
        emptyVariant(state);
        TGridAccessibility* a = nullptr;
        TTarget t;
        if (HRESULT hr = resolve(child, a, t); FAILED(hr)) return hr;
        state->vt = VT_I4;
        state->lVal = stateOf(a->Driver(), t);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        return current(focus, [](const TGridDriver& d) { return ::GetFocus() == d.Handle(); });
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return current(selection, [](const TGridDriver&) { return true; });
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        *left = *top = *width = *height = 0;
        TGridAccessibility* a = nullptr;
        TTarget t;
        if (HRESULT hr = resolve(child, a, t); FAILED(hr)) return hr;
        HWND hwnd = a->Driver().Handle();
        RECT rc{};
        if (t.row < 0)
            ::GetClientRect(hwnd, &rc);
        else if (!a->Driver().CellRect(t.col, t.row, rc))
            return S_FALSE;  // scrolled out of view
        ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
        *left = rc.left;
        *top = rc.top;
        *width = rc.right - rc.left;
        *height = rc.bottom - rc.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        if (!child) return E_POINTER;
        emptyVariant(child);
        TGridAccessibility* a = nullptr;
        if (HRESULT hr = connected(a); FAILED(hr)) return hr;
        HWND hwnd = a->Driver().Handle();
        POINT p{x, y};
        ::ScreenToClient(hwnd, &p);
        RECT rc{};
        if (row_ == kWholeGrid)
            ::GetClientRect(hwnd, &rc);
        else
            a->Driver().CellRect(-1, row_, rc);
        if (!::PtInRect(&rc, p)) return S_FALSE;
        const TGridCoord at = a->Driver().CellAt(p.x, p.y);
        child->vt = VT_I4;
        child->lVal = CHILDID_SELF;
        if (at.x >= 0 && row_ == kWholeGrid) child->lVal = cellId(at.x, at.y);
        if (at.x >= 0 && row_ == at.y) child->lVal = at.x + 1;
        return S_OK;
    }

    // Nothing here acts, moves or changes.
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR* value) override { return none(value); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override { return none(text); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* text) override { return none(text); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
        if (topic) *topic = 0;
        return none(file);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* text) override { return none(text); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* text) override { return none(text); }
    HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT, VARIANT* end) override {
        if (end) emptyVariant(end);
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    static HRESULT none(BSTR* out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        return DISP_E_MEMBERNOTFOUND;
    }

    // Fails once the grid's window is gone, or this row with it.
    HRESULT connected(TGridAccessibility*& a) const {
        a = *link_;
        if (!a || !a->Driver().Handle() || row_ >= a->Driver().grid()->RowCount()) return CO_E_OBJNOTCONNECTED;
        return S_OK;
    }

    HRESULT resolve(const VARIANT& child, TGridAccessibility*& a, TTarget& t) const {
        if (HRESULT hr = connected(a); FAILED(hr)) return hr;
        if (child.vt != VT_I4) return E_INVALIDARG;
        const TStringGrid& grid = *a->Driver().grid();
        const LONG id = child.lVal;
        t = {-1, row_};
        if (id == CHILDID_SELF) return S_OK;
        if (row_ != kWholeGrid) {
            if (id < 1 || id > grid.ColCount()) return E_INVALIDARG;
            t.col = id - 1;
        } else if (id >= 1 && id < kCellIds && id <= grid.RowCount()) {
            t.row = id - 1;
        } else if (id >= kCellIds) {
            t = {static_cast<int>((id - kCellIds) % kIdColumns), static_cast<int>((id - kCellIds) / kIdColumns)};
            if (t.col >= grid.ColCount() || t.row >= grid.RowCount()) return E_INVALIDARG;
        } else {
            return E_INVALIDARG;
        }
        return S_OK;
    }

    static LONG stateOf(const TGridDriver& driver, const TTarget& t) {
        HWND hwnd = driver.Handle();
        const TStringGrid& grid = *driver.grid();
        LONG state = 0;
        if (!::IsWindowVisible(hwnd)) state |= STATE_SYSTEM_INVISIBLE;
        if (!::IsWindowEnabled(hwnd)) state |= STATE_SYSTEM_UNAVAILABLE;
        if (!grid.Editing) state |= STATE_SYSTEM_READONLY;
        const bool focused = ::GetFocus() == hwnd;
        if (t.row < 0) return state | STATE_SYSTEM_FOCUSABLE | (focused ? STATE_SYSTEM_FOCUSED : 0);
        RECT rc{};
        if (!driver.CellRect(t.col, t.row, rc)) state |= STATE_SYSTEM_OFFSCREEN;
        const bool fixed = t.row < grid.FixedRows || (t.col >= 0 && t.col < grid.FixedCols);
        if (fixed) return state;
        state |= STATE_SYSTEM_SELECTABLE;
        if (t.row != grid.Row()) return state;
        // A whole-row selection selects the row, else the current cell.
        const bool selected = t.col < 0 ? grid.RowSelect : grid.RowSelect || t.col == grid.Col();
        const bool focus = focused && (t.col < 0 ? grid.RowSelect : t.col == grid.Col());
        if (t.col >= 0) state |= STATE_SYSTEM_FOCUSABLE;
        return state | (selected ? STATE_SYSTEM_SELECTED : 0) | (focus ? STATE_SYSTEM_FOCUSED : 0);
    }

    // The current cell (or row) as a child of this object, where `holds`.
    template <class F>
    HRESULT current(VARIANT* out, F holds) const {
        if (!out) return E_POINTER;
        emptyVariant(out);
        TGridAccessibility* a = nullptr;
        if (HRESULT hr = connected(a); FAILED(hr)) return hr;
        const TStringGrid& grid = *a->Driver().grid();
        if (!holds(a->Driver()) || grid.RowCount() <= grid.FixedRows || grid.ColCount() <= grid.FixedCols)
            return S_FALSE;
        LONG id = 0;
        if (row_ == kWholeGrid)
            id = grid.RowSelect ? grid.Row() + 1 : cellId(grid.Col(), grid.Row());
        else if (row_ == grid.Row() && !grid.RowSelect)
            id = grid.Col() + 1;
        if (id == 0) return S_FALSE;
        out->vt = VT_I4;
        out->lVal = id;
        return S_OK;
    }

    std::shared_ptr<TGridAccessibility*> link_;
    int row_;
    LONG refs_ = 1;
};

}  // namespace

TGridAccessibility::TGridAccessibility(TGridDriver& driver)
    : driver_(driver), link_(std::make_shared<TGridAccessibility*>(this)) {}

IUnknown* TGridAccessibility::Root() {
    if (!root_) {
        // A window made anew gets objects anew; the old ones stay cut off.
        if (!*link_) link_ = std::make_shared<TGridAccessibility*>(this);
        root_.reset(TGridObject::Make(link_, kWholeGrid));
    }
    return root_.get();
}

LRESULT TGridAccessibility::Answer(WPARAM wParam) {
    static const auto answer = oleacc<decltype(::LresultFromObject)>("LresultFromObject");
    return answer ? answer(__uuidof(IAccessible), wParam, Root()) : 0;
}

void TGridAccessibility::Disconnect() {
    *link_ = nullptr;
    // Remote clients' stubs let go of it now, not when they do.
    if (root_) ::CoDisconnectObject(root_.get(), 0);
    root_.reset();
}

void TGridAccessibility::CurrentMoved() {
    const TStringGrid& grid = *driver_.grid();
    const TGridCoord now{grid.Col(), grid.Row()};
    // The first current cell is where the grid starts, no move.
    if (now == announced_ || !driver_.Handle()) return;
    const bool first = announced_ == TGridCoord{};
    announced_ = now;
    if (!first) announce(true, ::GetFocus() == driver_.Handle());
}

void TGridAccessibility::FocusArrived() {
    announce(false, true);
}

void TGridAccessibility::announce(bool selection, bool focus) {
    const TStringGrid& grid = *driver_.grid();
    const LONG cell = cellId(grid.Col(), grid.Row());
    if (cell == 0 || grid.RowCount() <= grid.FixedRows || grid.ColCount() <= grid.FixedCols) return;
    HWND hwnd = driver_.Handle();
    if (selection) ::NotifyWinEvent(EVENT_OBJECT_SELECTION, hwnd, OBJID_CLIENT, grid.RowSelect ? grid.Row() + 1 : cell);
    if (focus) ::NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd, OBJID_CLIENT, cell);
}

}  // namespace win32
