// The window's IAccessible object. OLEACC is no KnownDLL, so it is loaded
// by its full path from the system folder when a reader first asks; where
// it cannot be had the window answers as it did without it.
#include <windows.h>
#include <oleacc.h>

#include <new>

#include "platform/accessibility.h"
#include "platform/win32/win32_system_dll.h"

namespace {

// IID_IAccessible, spelt here so that nothing links against OLEACC.
constexpr IID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

using LresultFromObjectCall = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
using CreateStdAccessibleObjectCall = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);

struct OleAcc {
    LresultFromObjectCall lresult_from_object;
    CreateStdAccessibleObjectCall create_standard_object;
};

OleAcc LoadOleAcc() {
    OleAcc functions = {};
    HMODULE module = plat::LoadSystemDll("OLEACC.DLL");
    if (module == nullptr) return functions;
    functions.lresult_from_object =
        reinterpret_cast<LresultFromObjectCall>(reinterpret_cast<void*>(GetProcAddress(module, "LresultFromObject")));
    functions.create_standard_object = reinterpret_cast<CreateStdAccessibleObjectCall>(
        reinterpret_cast<void*>(GetProcAddress(module, "CreateStdAccessibleObject")));
    return functions;
}

const OleAcc& OleAccFunctions() {
    static const OleAcc functions = LoadOleAcc();
    return functions;
}

BSTR ToBstr(const char* text) {
    int count = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (count <= 0) return nullptr;
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(count - 1));
    if (result != nullptr) MultiByteToWideChar(CP_ACP, 0, text, -1, result, count);
    return result;
}

void SetChild(VARIANT* variant, long child) {
    VariantInit(variant);
    variant->vt = VT_I4;
    variant->lVal = child;
}

class Accessible final : public IAccessible {
public:
    Accessible(HWND window, const plat::AccessibleModel* model) : window_(window), model_(model) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kIidAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: readers call the IAccessible methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (parent == nullptr) return E_POINTER;
        *parent = nullptr;
        auto create = OleAccFunctions().create_standard_object;
        if (create == nullptr || !IsWindow(window_)) return S_FALSE;
        return create(window_, OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        if (count == nullptr) return E_POINTER;
        *count = model_->child_count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        // The parts are simple elements: the reader addresses them by id.
        return Child(child) > 0 ? S_FALSE : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return Text(child, name, [](const plat::AccessibleItem& item) -> const char* { return item.name; });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override { return Nothing(child, value); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override { return Nothing(child, text); }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        plat::AccessibleItem item;
        if (role == nullptr) return E_POINTER;
        VariantInit(role);
        if (!Describe(child, &item)) return E_INVALIDARG;
        SetChild(role, item.role);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        plat::AccessibleItem item;
        if (state == nullptr) return E_POINTER;
        VariantInit(state);
        if (!Describe(child, &item)) return E_INVALIDARG;
        SetChild(state, static_cast<long>(item.state));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return Nothing(child, help); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
        if (file != nullptr) *file = nullptr;
        if (topic != nullptr) *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return Text(child, shortcut, [](const plat::AccessibleItem& item) { return item.shortcut; });
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (focus == nullptr) return E_POINTER;
        VariantInit(focus);
        if (GetFocus() != window_) return S_FALSE;
        SetChild(focus, model_->focused_child);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (selection == nullptr) return E_POINTER;
        VariantInit(selection);
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return Text(child, action, [](const plat::AccessibleItem& item) { return item.default_action; });
    }
    HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        plat::AccessibleItem item;
        if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
        if (!Describe(child, &item)) return E_INVALIDARG;
        *left = item.screen.left;
        *top = item.screen.top;
        *width = item.screen.right - item.screen.left;
        *height = item.screen.bottom - item.screen.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        if (end == nullptr) return E_POINTER;
        VariantInit(end);
        long from = Child(start);
        if (from < 0) return E_INVALIDARG;
        long to = 0;
        if (from == CHILDID_SELF && direction == NAVDIR_FIRSTCHILD) to = 1;
        else if (from == CHILDID_SELF && direction == NAVDIR_LASTCHILD) to = model_->child_count;
        else if (from > 0 && (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN)) to = from + 1;
        else if (from > 0 && (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP)) to = from - 1;
        if (to < 1 || to > model_->child_count) return S_FALSE;
        SetChild(end, to);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override {
        if (hit == nullptr) return E_POINTER;
        VariantInit(hit);
        plat::AccessibleItem item;
        for (int child = 1; child <= model_->child_count; ++child)
            if (model_->describe(window_, child, &item) && Inside(item, x, y)) {
                SetChild(hit, child);
                return S_OK;
            }
        if (!model_->describe(window_, CHILDID_SELF, &item) || !Inside(item, x, y)) return S_FALSE;
        SetChild(hit, CHILDID_SELF);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        long id = Child(child);
        if (id < 0) return E_INVALIDARG;
        int done = model_->press(window_, static_cast<int>(id));
        if (done < 0) return DISP_E_MEMBERNOTFOUND;
        return done ? S_OK : E_FAIL;  // refused while the window is busy
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    // The child id a variant names; -1 for none of this object's.
    long Child(const VARIANT& child) const {
        if (child.vt != VT_I4 || !IsWindow(window_)) return -1;
        return child.lVal >= 0 && child.lVal <= model_->child_count ? child.lVal : -1;
    }
    bool Describe(const VARIANT& child, plat::AccessibleItem* item) const {
        long id = Child(child);
        return id >= 0 && model_->describe(window_, static_cast<int>(id), item);
    }
    static bool Inside(const plat::AccessibleItem& item, long x, long y) {
        return item.screen.left <= x && x < item.screen.right && item.screen.top <= y && y < item.screen.bottom;
    }
    template <typename Pick>
    HRESULT Text(const VARIANT& child, BSTR* out, Pick pick) const {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        plat::AccessibleItem item;
        if (!Describe(child, &item)) return E_INVALIDARG;
        const char* text = pick(item);
        if (text == nullptr) return S_FALSE;
        *out = ToBstr(text);
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT Nothing(const VARIANT& child, BSTR* out) const {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        return Child(child) >= 0 ? S_FALSE : E_INVALIDARG;
    }

    LONG references_ = 1;
    HWND window_;
    const plat::AccessibleModel* model_;
};

}  // namespace

namespace plat {

std::intptr_t AccessibleAnswer(Handle window, std::uintptr_t wparam, const AccessibleModel* model, int* answered) {
    *answered = 0;
    auto lresult_from_object = OleAccFunctions().lresult_from_object;
    if (lresult_from_object == nullptr) return 0;
    auto* object = new (std::nothrow) Accessible(static_cast<HWND>(window), model);
    if (object == nullptr) return 0;
    LRESULT result = lresult_from_object(kIidAccessible, wparam, static_cast<IAccessible*>(object));
    object->Release();
    // A failure comes back as a negative HRESULT.
    if (result < 0) return 0;
    *answered = 1;
    return result;
}

void AccessibleNotify(Handle window, std::uint32_t event, int child) {
    NotifyWinEvent(event, static_cast<HWND>(window), OBJID_CLIENT, child);
}

Handle WindowFocused() { return GetFocus(); }

int WindowClientOrigin(Handle window, int* x, int* y) {
    POINT origin = {0, 0};
    if (!ClientToScreen(static_cast<HWND>(window), &origin)) return 0;
    *x = origin.x;
    *y = origin.y;
    return 1;
}

}  // namespace plat
