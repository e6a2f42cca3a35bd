#include "processquery_win.h"

#include "textcodec.h"

#include <windows.h>

#include <oleauto.h>
#include <utility>
#include <wbemcli.h>
#include <wrl/client.h>

namespace platform {

namespace {

using Microsoft::WRL::ComPtr;

// How long one query may take before the answer counts as a failure. WMI answers a local
// Win32_Process query in milliseconds; this only bounds a hung service.
constexpr long kQueryTimeoutMs = 5000;

// Invalid UTF-8 (including overlong forms and encoded surrogates) cannot stand for any file name
// the system reports, so it fails instead of being patched up with U+FFFD.
std::optional<std::wstring> utf8ToUtf16(const std::string &bytes)
{
    const std::optional<std::u16string> text = utf16From(bytes, BadText::Reject);
    if (!text)
        return std::nullopt;
    return std::wstring(text->begin(), text->end());
}

// Owns one BSTR; null when the allocation failed.
class Bstr
{
public:
    explicit Bstr(const wchar_t *text) : m_bstr(SysAllocString(text)) {}
    Bstr(const Bstr &) = delete;
    Bstr &operator=(const Bstr &) = delete;
    ~Bstr() { SysFreeString(m_bstr); }

    BSTR get() const { return m_bstr; }

private:
    BSTR m_bstr;
};

// Sets the usual client blanket (NTLM, per-call authentication, impersonation) that WMI needs to
// act for us. An object served in-process has no proxy to set it on (E_NOINTERFACE), and needs
// none.
bool setClientBlanket(IUnknown *object)
{
    const HRESULT hr =
        CoSetProxyBlanket(object, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                          RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    return SUCCEEDED(hr) || hr == E_NOINTERFACE;
}

// Process lookup through WMI. Keeps one binding to ROOT\CIMV2 while it works and binds afresh
// after any failure. Use it on the thread that created it: COM is initialised there.
class WmiProcessQuery final : public ProcessQuery
{
public:
    WmiProcessQuery()
    {
        // A GUI thread is apartment threaded; a thread already in the multithreaded apartment
        // (RPC_E_CHANGED_MODE) serves as well, but that initialisation is not ours to undo.
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        m_comInitialised = SUCCEEDED(hr);
    }

    ~WmiProcessQuery() override
    {
        m_services.Reset();
        if (m_comInitialised)
            CoUninitialize();
    }

    WmiProcessQuery(const WmiProcessQuery &) = delete;
    WmiProcessQuery &operator=(const WmiProcessQuery &) = delete;

    bool isRunning(const std::string &name) override
    {
        try {
            const std::optional<std::wstring> text = processQueryText(name);
            if (!text)
                return false;
            if (!m_services && !bind())
                return false;
            const std::optional<bool> found = anyProcess(*text);
            if (!found) {
                m_services.Reset();
                return false;
            }
            return *found;
        } catch (...) {
            m_services.Reset();
            return false;
        }
    }

private:
    bool bind()
    {
        ComPtr<IWbemLocator> locator;
        if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&locator))))
            return false;
        const Bstr nameSpace(L"ROOT\\CIMV2");
        if (!nameSpace.get())
            return false;
        ComPtr<IWbemServices> services;
        if (FAILED(locator->ConnectServer(nameSpace.get(), nullptr, nullptr, nullptr, 0, nullptr,
                                          nullptr, &services)) ||
            !services || !setClientBlanket(services.Get()))
            return false;
        m_services = std::move(services);
        return true;
    }

    // Whether the query yields at least one object; nullopt when it failed.
    std::optional<bool> anyProcess(const std::wstring &text)
    {
        const Bstr language(L"WQL");
        const Bstr query(text.c_str());
        if (!language.get() || !query.get())
            return std::nullopt;
        ComPtr<IEnumWbemClassObject> results;
        if (FAILED(m_services->ExecQuery(language.get(), query.get(),
                                         WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                         nullptr, &results)) ||
            !results)
            return std::nullopt;
        // The enumerator is a proxy of its own when the service runs out of process.
        setClientBlanket(results.Get());
        ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        const HRESULT hr = results->Next(kQueryTimeoutMs, 1, &object, &returned);
        if (hr == WBEM_S_NO_ERROR && returned == 1)
            return true;
        if (hr == WBEM_S_FALSE && returned == 0)
            return false;
        return std::nullopt; // failed or timed out
    }

    ComPtr<IWbemServices> m_services;
    bool m_comInitialised = false;
};

} // namespace

std::optional<std::wstring> processQueryText(const std::string &name)
{
    if (name.empty())
        return std::nullopt;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        // Quotes and backslashes would change the query; image names never hold them.
        if (byte < 0x20 || byte == 0x7F || c == '"' || c == '\\')
            return std::nullopt;
    }
    const std::optional<std::wstring> wide = utf8ToUtf16(name);
    if (!wide)
        return std::nullopt;
    // WQL has no escapes; a name with an apostrophe goes in the other kind of quotes, which the
    // check above keeps out of the name.
    const wchar_t quote = name.find('\'') == std::string::npos ? L'\'' : L'"';
    std::wstring text = L"SELECT Name FROM Win32_Process WHERE Name=";
    text += quote;
    text += *wide;
    text += quote;
    return text;
}

std::unique_ptr<ProcessQuery> createProcessQuery()
{
    return std::make_unique<WmiProcessQuery>();
}

} // namespace platform
