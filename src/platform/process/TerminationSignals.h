#pragma once

// SIGTERM, SIGINT and SIGHUP (what a shutdown, a logout, Ctrl+C and a closed terminal send) as a
// readable descriptor, so that the program ends in its own event loop, with its settings saved,
// instead of at whatever instruction the signal met. The handler only writes the signal's number
// into a pipe: nothing else is safe in a signal handler.
//
// One object at a time; it installs the handlers when made and puts the former ones back when it
// goes. Threads: the owning thread calls everything; the handler may run on any thread.
class CTerminationSignals {
public:
    CTerminationSignals();
    ~CTerminationSignals();
    CTerminationSignals(const CTerminationSignals&) = delete;
    CTerminationSignals& operator=(const CTerminationSignals&) = delete;

    // False when the pipe could not be made (the signals then keep their default action).
    bool IsValid() const { return m_readFd >= 0; }
    // Readable once a signal has come.
    int Descriptor() const { return m_readFd; }
    // The number of a signal that has come and was not taken yet, 0 when none.
    int TakeSignal();

private:
    int m_readFd = -1;
};
