#include "platform/instance/InstanceGuard.h"

#include "platform/paths/DataPaths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool MakeAddress(const std::filesystem::path& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

bool FromSameUser(int fd)
{
    ucred credentials {};
    socklen_t length = sizeof credentials;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0
        && credentials.uid == getuid();
}

} // namespace

CInstanceGuard::CInstanceGuard(std::string name, std::filesystem::path folder)
    : m_name(std::move(name))
    , m_folder(std::move(folder))
{
}

CInstanceGuard::~CInstanceGuard()
{
    if (m_listenFd >= 0) {
        close(m_listenFd);
        unlink((m_folder / (m_name + ".sock")).c_str());
    }
    if (m_lockFd >= 0)
        close(m_lockFd); // releases the lock; the lock file itself stays for the next run
}

CInstanceGuard::Role CInstanceGuard::Acquire()
{
    if (m_folder.empty())
        m_folder = kerrion::RuntimeFolder();
    const std::filesystem::path lockPath = m_folder / (m_name + ".lock");
    m_lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lockFd < 0)
        return Role::kFailed;
    int result = 0;
    do {
        result = flock(m_lockFd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const bool taken = errno == EWOULDBLOCK;
        close(m_lockFd);
        m_lockFd = -1;
        return taken ? Role::kSecond : Role::kFailed;
    }
    Listen();
    return Role::kFirst;
}

// A socket left behind by a first instance that crashed is replaced: holding the lock proves
// that no one listens on it any more.
void CInstanceGuard::Listen()
{
    const std::filesystem::path socketPath = m_folder / (m_name + ".sock");
    sockaddr_un address {};
    if (!MakeAddress(socketPath, address))
        return;
    unlink(socketPath.c_str());
    m_listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0)
        return;
    if (bind(m_listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || listen(m_listenFd, 8) != 0) {
        close(m_listenFd);
        m_listenFd = -1;
    }
}

bool CInstanceGuard::NotifyFirst() const
{
    sockaddr_un address {};
    if (!MakeAddress(m_folder / (m_name + ".sock"), address))
        return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected
        = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

bool CInstanceGuard::TakeNotices()
{
    bool noticed = false;
    for (;;) {
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return noticed;
        }
        noticed = FromSameUser(fd) || noticed;
        close(fd);
    }
}
