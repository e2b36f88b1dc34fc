#pragma once

// A JACK client of the tests that plays known signals: one output port per signal, each signal
// a loop of samples played from the client's first cycle on, all loops at the same frame count.
// It can also listen: input ports in_1.. whose last sample of each cycle it keeps. Activated on
// construction; closed by the destructor.

#include <jack/jack.h>

#include <atomic>
#include <string>
#include <vector>

namespace kerrion::test {

class JackTestClient {
public:
    static constexpr int kMaxListeners = 4;

    JackTestClient(
        const std::string& server, std::vector<std::vector<float>> loops, int listeners = 0);
    ~JackTestClient();
    JackTestClient(const JackTestClient&) = delete;
    JackTestClient& operator=(const JackTestClient&) = delete;

    bool Ok() const { return m_client != nullptr; }
    // Connects output port i to the port named targets[i]; false on the first failure.
    bool ConnectTo(const std::vector<std::string>& targets);
    jack_client_t* Client() const { return m_client; }
    uint64_t Cycles() const { return m_cycles.load(); }
    // Cycles the server reported late (its clients may then have missed or repeated a cycle).
    uint64_t Xruns() const { return m_xruns.load(); }
    std::string ListenerName(int i) const;
    // The last sample listener i got in the last cycle.
    float Heard(int i) const { return m_heard[i].load(); }

    // Loops of known signals, full scale at 1.0.
    static std::vector<float> Constant(float value) { return { value }; }
    static std::vector<float> Sine(double frequency, double peak, double rate, size_t frames);
    // 0, step, 2 step, ... for `frames` frames, then again from 0.
    static std::vector<float> Ramp(float step, size_t frames);

private:
    static int OnProcess(jack_nframes_t frames, void* self);
    static int OnXrun(void* self);

    std::vector<std::vector<float>> m_loops;
    std::vector<jack_port_t*> m_ports;
    std::vector<jack_port_t*> m_listeners;
    std::atomic<float> m_heard[kMaxListeners] = {};
    jack_client_t* m_client = nullptr;
    uint64_t m_position = 0; // process thread: frames played
    std::atomic<uint64_t> m_cycles { 0 };
    std::atomic<uint64_t> m_xruns { 0 };
};

} // namespace kerrion::test
