#include "session.h"

namespace platform {

bool windowSystemAvailable(QString &)
{
    return true;
}

void onEndRequest(QObject *, std::function<void()>)
{
    // Logoff and shutdown reach the program as window messages, which the toolkit turns into
    // its own session signals; the program handles those.
}

} // namespace platform
