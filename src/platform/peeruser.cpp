#include "peeruser.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <memory>
#else
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace vidrona::platform {

#ifdef Q_OS_WIN

namespace {

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// The user of a process's token, as a SID in buffer; nullptr when unknown.
PSID tokenUser(HANDLE process, std::unique_ptr<char[]> &buffer)
{
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &raw))
        return nullptr;
    const Handle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0 || size > 4096)
        return nullptr;
    buffer = std::make_unique<char[]>(size);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.get(), size, &size))
        return nullptr;
    return reinterpret_cast<TOKEN_USER *>(buffer.get())->User.Sid;
}

} // namespace

Peer peerOf(qintptr descriptor, bool peerListens)
{
    const HANDLE pipe = reinterpret_cast<HANDLE>(descriptor);
    ULONG pid = 0;
    const BOOL found = peerListens ? GetNamedPipeServerProcessId(pipe, &pid) : GetNamedPipeClientProcessId(pipe, &pid);
    if (!found || pid == 0)
        return {};
    const QString who = QStringLiteral("process %1").arg(pid);
    const Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    std::unique_ptr<char[]> theirs, ours;
    const PSID their = process ? tokenUser(process.get(), theirs) : nullptr;
    const PSID our = tokenUser(GetCurrentProcess(), ours);
    if (!their || !our)
        return {Peer::Is::Unknown, who};
    return {EqualSid(their, our) ? Peer::Is::SameUser : Peer::Is::OtherUser, who};
}

#else

Peer peerOf(qintptr descriptor, bool)
{
#if defined(SO_PEERCRED)
    struct ucred cred {};
    socklen_t size = sizeof cred;
    if (descriptor < 0 || ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0)
        return {};
    const uid_t uid = cred.uid;
    const QString who = QStringLiteral("uid %1, process %2").arg(cred.uid).arg(cred.pid);
#else
    uid_t uid = 0;
    gid_t gid = 0;
    if (descriptor < 0 || ::getpeereid(int(descriptor), &uid, &gid) != 0)
        return {};
    const QString who = QStringLiteral("uid %1").arg(uid);
#endif
    return {uid == ::getuid() ? Peer::Is::SameUser : Peer::Is::OtherUser, who};
}

#endif

} // namespace vidrona::platform
