#include "drivers/jack/JackTestClient.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>

namespace kerrion::test {

JackTestClient::JackTestClient(
    const std::string& server, std::vector<std::vector<float>> loops, int listeners)
    : m_loops(std::move(loops))
{
    // A server that has just seen another client close may refuse the next one ("Cannot notify
    // add client") while it still tidies up; a moment later it accepts.
    for (int attempt = 0; attempt < 20 && m_client == nullptr; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        jack_status_t status {};
        m_client = jack_client_open("player",
            static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
            server.c_str());
    }
    if (m_client == nullptr)
        return;
    for (size_t i = 0; i < m_loops.size(); ++i) {
        const std::string name = "out_" + std::to_string(i + 1);
        m_ports.push_back(jack_port_register(
            m_client, name.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0));
    }
    for (int i = 0; i < listeners && i < kMaxListeners; ++i) {
        const std::string name = "in_" + std::to_string(i + 1);
        m_listeners.push_back(jack_port_register(
            m_client, name.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0));
    }
    jack_set_process_callback(m_client, &JackTestClient::OnProcess, this);
    jack_set_xrun_callback(m_client, &JackTestClient::OnXrun, this);
    if (jack_activate(m_client) != 0) {
        jack_client_close(m_client);
        m_client = nullptr;
    }
}

JackTestClient::~JackTestClient()
{
    if (m_client != nullptr)
        jack_client_close(m_client);
}

bool JackTestClient::ConnectTo(const std::vector<std::string>& targets)
{
    for (size_t i = 0; i < targets.size() && i < m_ports.size(); ++i) {
        // Already connected (the bridge connects a peer it remembers) is what was asked for.
        const int result = jack_connect(m_client, jack_port_name(m_ports[i]), targets[i].c_str());
        if (result != 0 && result != EEXIST)
            return false;
    }
    return m_client != nullptr;
}

std::string JackTestClient::ListenerName(int i) const
{
    return jack_port_name(m_listeners[static_cast<size_t>(i)]);
}

int JackTestClient::OnXrun(void* self)
{
    ++static_cast<JackTestClient*>(self)->m_xruns;
    return 0;
}

int JackTestClient::OnProcess(jack_nframes_t frames, void* self)
{
    auto& client = *static_cast<JackTestClient*>(self);
    for (size_t i = 0; i < client.m_ports.size(); ++i) {
        auto* out = static_cast<float*>(jack_port_get_buffer(client.m_ports[i], frames));
        const std::vector<float>& loop = client.m_loops[i];
        for (jack_nframes_t f = 0; f < frames; ++f)
            out[f] = loop[(client.m_position + f) % loop.size()];
    }
    for (size_t i = 0; i < client.m_listeners.size() && frames > 0; ++i)
        client.m_heard[i].store(static_cast<const float*>(
            jack_port_get_buffer(client.m_listeners[i], frames))[frames - 1]);
    client.m_position += frames;
    client.m_cycles.fetch_add(1);
    return 0;
}

std::vector<float> JackTestClient::Sine(double frequency, double peak, double rate, size_t frames)
{
    std::vector<float> loop(frames);
    for (size_t f = 0; f < frames; ++f)
        loop[f] = static_cast<float>(
            peak * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(f) / rate));
    return loop;
}

std::vector<float> JackTestClient::Ramp(float step, size_t frames)
{
    std::vector<float> loop(frames);
    for (size_t f = 0; f < frames; ++f)
        loop[f] = step * static_cast<float>(f);
    return loop;
}

} // namespace kerrion::test
