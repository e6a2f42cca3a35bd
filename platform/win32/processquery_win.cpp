#include "processquery_win.h"

#include "diagnostics.h"
#include "textcodec.h"

#include <windows.h>

#include <oleauto.h>
#include <string>
#include <utility>
#include <wbemcli.h>
#include <wrl/client.h>

namespace platform {

namespace {

using Microsoft::WRL::ComPtr;

constexpr std::size_t kMaxImageNameUnits = 255;

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

// One WMI query at a time. Keeps one binding to ROOT\CIMV2 while it works and binds afresh after
// a failure; a query that runs out of time keeps the binding (the service is busy, not gone).
// Use it on the thread that created it: COM is initialised there.
class WmiSession
{
public:
    WmiSession()
    {
        // A GUI thread is apartment threaded; a thread already in the multithreaded apartment
        // (RPC_E_CHANGED_MODE) serves as well, but that initialisation is not ours to undo.
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        m_comInitialised = SUCCEEDED(hr);
    }

    ~WmiSession()
    {
        m_services.Reset();
        if (m_comInitialised)
            CoUninitialize();
    }

    WmiSession(const WmiSession &) = delete;
    WmiSession &operator=(const WmiSession &) = delete;

    QueryAnswer ask(const std::wstring &wql, long timeoutMs)
    {
        if (!m_services && !bind())
            return QueryAnswer::Failed;
        const QueryAnswer answer = firstObject(wql, timeoutMs);
        if (answer == QueryAnswer::Failed)
            m_services.Reset();
        return answer;
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

    // Semi-synchronous: ExecQuery returns at once, and only the wait for the first object can
    // take long; it is bounded.
    QueryAnswer firstObject(const std::wstring &wql, long timeoutMs)
    {
        const Bstr language(L"WQL");
        const Bstr query(wql.c_str());
        if (!language.get() || !query.get())
            return QueryAnswer::Failed;
        ComPtr<IEnumWbemClassObject> results;
        if (FAILED(m_services->ExecQuery(language.get(), query.get(),
                                         WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                         nullptr, &results)) ||
            !results)
            return QueryAnswer::Failed;
        // The enumerator is a proxy of its own when the service runs out of process.
        setClientBlanket(results.Get());
        ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        const HRESULT hr = results->Next(timeoutMs, 1, &object, &returned);
        if (hr == WBEM_S_NO_ERROR && returned == 1)
            return QueryAnswer::Found;
        if (hr == WBEM_S_FALSE && returned == 0)
            return QueryAnswer::NotFound;
        return hr == WBEM_S_TIMEDOUT ? QueryAnswer::TimedOut : QueryAnswer::Failed;
    }

    ComPtr<IWbemServices> m_services;
    bool m_comInitialised = false;
};

class BoundedProcessQuery final : public ProcessQuery
{
public:
    explicit BoundedProcessQuery(QueryStep step) : m_step(std::move(step)) {}

    bool isRunning(const std::string &name) override
    {
        try {
            const std::optional<std::wstring> text = processQueryText(name);
            if (!text)
                return false;
            // After a query ran out of time, the slots ticking in the same second do not wait
            // again: ten hung queries in a row would freeze the windows for seconds.
            if (m_timedOut && GetTickCount64() < m_quietUntil)
                return false;
            const QueryAnswer answer = m_step(*text, kQueryTimeoutMs);
            if (answer == QueryAnswer::TimedOut) {
                m_quietUntil = GetTickCount64() + kQuietAfterTimeoutMs;
                if (!m_timedOut)
                    reportProblem("the process query (WMI) did not answer within " +
                                  std::to_string(kQueryTimeoutMs) +
                                  " ms: names count as not running until it answers");
                m_timedOut = true;
            } else if (answer != QueryAnswer::Failed) {
                m_timedOut = false;
            }
            return answer == QueryAnswer::Found;
        } catch (...) {
            return false;
        }
    }

private:
    static constexpr ULONGLONG kQuietAfterTimeoutMs = 1000;

    QueryStep m_step;
    bool m_timedOut = false; // reported, and no answer since
    ULONGLONG m_quietUntil = 0;
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
    // No image name is longer than 255 UTF-16 units: a longer one runs nowhere, and asking the
    // service about megabytes of text would cost it dearly.
    if (!wide || wide->size() > kMaxImageNameUnits)
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

std::unique_ptr<ProcessQuery> createProcessQuery(QueryStep step)
{
    return std::make_unique<BoundedProcessQuery>(std::move(step));
}

std::unique_ptr<ProcessQuery> createProcessQuery()
{
    auto session = std::make_shared<WmiSession>();
    return createProcessQuery([session](const std::wstring &wql, long timeoutMs) {
        return session->ask(wql, timeoutMs);
    });
}

} // namespace platform
