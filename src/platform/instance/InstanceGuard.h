#pragma once

#include <filesystem>
#include <string>

// Tells whether this process is the only running Kerrion of its user, and lets a second one hand
// the first the notice that it was started.
//
// The first instance holds an exclusive lock on "<name>.lock" in the run-time folder for its
// whole run (the kernel drops it when the process ends, however it ends) and listens on the
// socket "<name>.sock" beside it. A second instance finds the lock taken, connects to the socket
// and ends; each connection from the same user is one notice. User-interface thread only.
class CInstanceGuard {
public:
    enum class Role {
        kFailed, // no lock could be created: end at once, silently
        kFirst,  // this is the running instance
        kSecond, // another instance runs
    };

    explicit CInstanceGuard(std::string name = "_SONALT_EXE",
        std::filesystem::path folder = {}); // empty: the user's run-time folder
    ~CInstanceGuard();
    CInstanceGuard(const CInstanceGuard&) = delete;
    CInstanceGuard& operator=(const CInstanceGuard&) = delete;

    Role Acquire();

    // Second instance: hands the notice to the first. False when no first instance listens (it
    // is still starting or already closing); the caller then ends without notice.
    bool NotifyFirst() const;

    // First instance: readable when a notice may wait (for an event loop to watch), or -1.
    int NoticeDescriptor() const { return m_listenFd; }

    // First instance: takes every waiting notice; true when there was at least one.
    bool TakeNotices();

private:
    void Listen();

    std::string m_name;
    std::filesystem::path m_folder;
    int m_lockFd = -1;
    int m_listenFd = -1;
};
