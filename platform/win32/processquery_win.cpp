#include "processquery_win.h"

#include "diagnostics.h"
#include "textcodec.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <oleauto.h>
#include <string>
#include <thread>
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
// Create, use and destroy it on one thread: COM is initialised there.
class WmiSession
{
public:
    WmiSession()
    {
        // The query's worker thread has no window and no message loop: the multithreaded
        // apartment. A thread already in the other one (RPC_E_CHANGED_MODE) serves as well, but
        // that initialisation is not ours to undo.
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
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

    // Semi-synchronous: ExecQuery normally returns at once, and the wait for the first object is
    // bounded; a service that blocks in ExecQuery or ConnectServer is bounded by the caller's
    // wait for the worker instead.
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

// What the caller and the worker thread share. The worker holds it too, so that a worker left
// stuck in the service when the query goes touches nothing freed.
struct Mailbox
{
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<std::wstring> question; // handed over, not yet taken
    std::optional<QueryAnswer> answer;    // to the last question taken
    bool working = false;                 // the worker is in the step
    bool stop = false;
    bool stopped = false; // the worker has let go of the step
};

// The worker's loop: one question at a time, until told to stop.
void serve(Mailbox &box, const QueryStep &step)
{
    std::unique_lock lock(box.mutex);
    for (;;) {
        box.changed.wait(lock, [&box] { return box.stop || box.question; });
        if (box.stop)
            return;
        const std::wstring wql = std::move(*box.question);
        box.question.reset();
        box.working = true;
        lock.unlock();
        QueryAnswer answer = QueryAnswer::Failed;
        try {
            answer = step(wql, kQueryTimeoutMs);
        } catch (...) {
        }
        lock.lock();
        box.working = false;
        box.answer = answer;
        box.changed.notify_all();
    }
}

// Every call of the step runs on a worker thread of the query's own; the caller waits for its
// answer at most kQueryTimeoutMs, so that a service that blocks anywhere cannot hold the caller.
class BoundedProcessQuery final : public ProcessQuery
{
public:
    explicit BoundedProcessQuery(QueryStep step) : m_box(std::make_shared<Mailbox>())
    {
        m_worker = std::thread([box = m_box, step = std::move(step)]() mutable {
            serve(*box, step);
            step = nullptr; // what the step holds of the service goes on the thread that made it
            const std::lock_guard lock(box->mutex);
            box->stopped = true;
            box->changed.notify_all();
        });
    }

    // A worker stuck in the service must not hold up the program's exit: it is given a short
    // while, then left to end on its own with the mailbox it holds.
    ~BoundedProcessQuery() override
    {
        std::unique_lock lock(m_box->mutex);
        m_box->stop = true;
        m_box->changed.notify_all();
        const bool stopped = m_box->changed.wait_for(lock, std::chrono::milliseconds(kStopWaitMs),
                                                     [this] { return m_box->stopped; });
        lock.unlock();
        if (stopped)
            m_worker.join();
        else
            m_worker.detach();
    }

    BoundedProcessQuery(const BoundedProcessQuery &) = delete;
    BoundedProcessQuery &operator=(const BoundedProcessQuery &) = delete;

    // Hands the worker `wql` without waiting for the answer, which is dropped: binding to the
    // service, done by the first question, may take longer than a query may wait.
    void prepare(const std::wstring &wql)
    {
        const std::lock_guard lock(m_box->mutex);
        m_box->question = wql;
        m_box->changed.notify_all();
        m_preparing = true;
    }

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
            const std::optional<QueryAnswer> answer = ask(*text);
            if (!answer)
                return false; // the worker is still stuck in a query that ran out of time
            note(*answer);
            return *answer == QueryAnswer::Found;
        } catch (...) {
            return false;
        }
    }

private:
    static constexpr ULONGLONG kQuietAfterTimeoutMs = 1000;
    static constexpr long kStopWaitMs = 500;

    // The answer to `wql` within the bound, or nullopt at once while the worker is busy with an
    // earlier question (nothing more is queued behind it).
    std::optional<QueryAnswer> ask(const std::wstring &wql)
    {
        std::unique_lock lock(m_box->mutex);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kQueryTimeoutMs);
        // The first question waits, within the same bound, for the preparation to end.
        if (std::exchange(m_preparing, false) && !m_box->changed.wait_until(lock, deadline, [this] {
                return !m_box->working && !m_box->question;
            }))
            return QueryAnswer::TimedOut;
        if (m_box->working || m_box->question)
            return std::nullopt;
        m_box->answer.reset(); // an answer that came too late is dropped
        m_box->question = wql;
        m_box->changed.notify_all();
        if (!m_box->changed.wait_until(lock, deadline,
                                       [this] { return m_box->answer.has_value(); }))
            return QueryAnswer::TimedOut;
        return m_box->answer;
    }

    // Each kind of trouble is reported once, until the service answers again.
    void note(QueryAnswer answer)
    {
        if (answer == QueryAnswer::TimedOut) {
            m_quietUntil = GetTickCount64() + kQuietAfterTimeoutMs;
            if (!std::exchange(m_timedOut, true))
                reportProblem("the process query (WMI) did not answer within " +
                              std::to_string(kQueryTimeoutMs) +
                              " ms: names count as not running until it answers");
        } else if (answer == QueryAnswer::Failed) {
            if (!std::exchange(m_failed, true))
                reportProblem("the process query (WMI) failed: names count as not running until "
                              "it answers");
        } else {
            m_timedOut = false;
            m_failed = false;
        }
    }

    std::shared_ptr<Mailbox> m_box;
    std::thread m_worker;
    bool m_timedOut = false;  // reported, and no answer since
    bool m_failed = false;    // reported, and no answer since
    bool m_preparing = false; // prepare() asked, and no question since
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
    // The session is made on the worker, by its first question, and dies with the step there.
    auto session = std::make_shared<std::optional<WmiSession>>();
    auto query =
        std::make_unique<BoundedProcessQuery>([session](const std::wstring &wql, long timeoutMs) {
            if (!*session)
                session->emplace();
            return (*session)->ask(wql, timeoutMs);
        });
    // Bound at once, so that the first tick, a second after the start, finds it done.
    query->prepare(*processQueryText("System Idle Process"));
    return query;
}

} // namespace platform
