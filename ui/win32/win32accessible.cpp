#include "win32accessible.h"

#include "wintext.h"

#include <commctrl.h>
#include <initguid.h> // defines the interface ids that oleacc.h names
#include <oleacc.h>

namespace {

struct Facts
{
    std::wstring name;
    std::wstring description;
    bool pushButton = false;
    IAccessible *object = nullptr; // made at the first WM_GETOBJECT
};

BSTR copy(const std::wstring &text)
{
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

bool isSelf(const VARIANT &child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// The control's own object: its facts for the control itself, the system's proxy for the rest.
class Accessible final : public IAccessible
{
public:
    Accessible(HWND control, IAccessible *proxy, const Facts *facts)
        : m_control(control), m_proxy(proxy), m_facts(facts)
    {}
    Accessible(const Accessible &) = delete;
    Accessible &operator=(const Accessible &) = delete;

    // The control is gone; a client that still holds the object reads the proxy's answers.
    void detach() { m_facts = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **out) override
    {
        if (!out)
            return E_POINTER;
        if (id == IID_IUnknown || id == IID_IDispatch || id == IID_IAccessible) {
            *out = static_cast<IAccessible *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_references); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = InterlockedDecrement(&m_references);
        if (left == 0) {
            m_proxy->Release();
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        return m_proxy->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo **info) override
    {
        return m_proxy->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR *names, UINT count, LCID locale,
                                            DISPID *ids) override
    {
        return m_proxy->GetIDsOfNames(id, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID id, LCID locale, WORD flags,
                                     DISPPARAMS *parameters, VARIANT *result, EXCEPINFO *exception,
                                     UINT *argument) override
    {
        return m_proxy->Invoke(member, id, locale, flags, parameters, result, exception, argument);
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR *name) override
    {
        if (name && m_facts && isSelf(child) && !m_facts->name.empty()) {
            *name = copy(m_facts->name);
            return S_OK;
        }
        return m_proxy->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR *description) override
    {
        if (description && m_facts && isSelf(child) && !m_facts->description.empty()) {
            *description = copy(m_facts->description);
            return S_OK;
        }
        return m_proxy->get_accDescription(child, description);
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch **parent) override
    {
        return m_proxy->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long *count) override
    {
        return m_proxy->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch **out) override
    {
        return m_proxy->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR *value) override
    {
        return m_proxy->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT *role) override
    {
        if (role && isButton(child)) {
            role->vt = VT_I4;
            role->lVal = ROLE_SYSTEM_PUSHBUTTON;
            return S_OK;
        }
        return m_proxy->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT *state) override
    {
        return m_proxy->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR *help) override
    {
        return m_proxy->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR *file, VARIANT child, long *topic) override
    {
        return m_proxy->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR *shortcut) override
    {
        return m_proxy->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT *child) override
    {
        return m_proxy->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT *children) override
    {
        return m_proxy->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR *action) override
    {
        if (action && isButton(child)) {
            *action = SysAllocString(L"Press");
            return S_OK;
        }
        return m_proxy->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        return m_proxy->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long *left, long *top, long *width, long *height,
                                          VARIANT child) override
    {
        return m_proxy->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT *end) override
    {
        return m_proxy->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT *child) override
    {
        return m_proxy->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        if (isButton(child)) {
            // Posted: the click may run a modal window, which the caller must not wait for.
            return PostMessageW(m_control, BM_CLICK, 0, 0) ? S_OK : E_FAIL;
        }
        return m_proxy->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override
    {
        return m_proxy->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return m_proxy->put_accValue(child, value);
    }

private:
    ~Accessible() = default;
    bool isButton(const VARIANT &child) const
    {
        return m_facts && m_facts->pushButton && isSelf(child);
    }

    HWND m_control;
    IAccessible *m_proxy;
    const Facts *m_facts;
    LONG m_references = 1;
};

constexpr UINT_PTR kSubclassId = 0x5A56; // one subclass of this kind per control
constexpr wchar_t kFactsProperty[] = L"ZEL-VANTO.accessible";

LRESULT CALLBACK answer(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                        DWORD_PTR data)
{
    auto *facts = reinterpret_cast<Facts *>(data);
    if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT) {
        if (!facts->object) {
            IAccessible *proxy = nullptr;
            if (SUCCEEDED(CreateStdAccessibleObject(control, OBJID_CLIENT, IID_IAccessible,
                                                    reinterpret_cast<void **>(&proxy))))
                facts->object = new Accessible(control, proxy, facts);
        }
        if (facts->object)
            return LresultFromObject(IID_IAccessible, wParam, facts->object);
    } else if (message == WM_NCDESTROY) {
        RemovePropW(control, kFactsProperty);
        RemoveWindowSubclass(control, &answer, kSubclassId);
        if (facts->object) {
            static_cast<Accessible *>(facts->object)->detach();
            facts->object->Release();
        }
        delete facts;
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

Facts *factsOf(HWND control)
{
    if (auto *facts = static_cast<Facts *>(GetPropW(control, kFactsProperty)))
        return facts;
    auto *facts = new Facts;
    if (!SetWindowSubclass(control, &answer, kSubclassId, reinterpret_cast<DWORD_PTR>(facts))) {
        delete facts;
        return nullptr;
    }
    SetPropW(control, kFactsProperty, facts);
    return facts;
}

} // namespace

void setAccessibleName(HWND control, const std::string &name)
{
    if (Facts *facts = factsOf(control))
        facts->name = platform::toUtf16(name);
}

void setAccessiblePushButton(HWND control)
{
    if (Facts *facts = factsOf(control))
        facts->pushButton = true;
}

void setAccessibleDescription(HWND control, const std::string &description)
{
    if (Facts *facts = factsOf(control))
        facts->description = platform::toUtf16(description);
}
