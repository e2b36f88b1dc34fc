// The connections of the bridge's ports across its clients: made again when a client
// activates, read while it is active, written to jack.ini shortly after they change and when the
// client closes.

#include "JackDriver.h"

namespace kerrion::jack {
namespace {

std::vector<std::string> Connections(jack_client_t* client, jack_port_t* port)
{
    std::vector<std::string> names;
    const char** connected = jack_port_get_all_connections(client, port);
    for (size_t i = 0; connected != nullptr && connected[i] != nullptr; ++i)
        names.emplace_back(connected[i]);
    jack_free(static_cast<void*>(connected));
    return names;
}

} // namespace

void JackDriver::RestoreConnections()
{
    m_routed = true;
    // Automatic connections are for a bridge that has never been connected; once the user has
    // routed it, that routing is what comes back.
    if (m_routing.Empty()) {
        if (m_config.autoConnect)
            ConnectPhysicalCaptures();
        return;
    }
    ConnectRememberedPeers();
}

void JackDriver::ConnectRememberedPeers()
{
    for (const auto* ports : { &m_inputPorts, &m_outputPorts }) {
        const bool input = ports == &m_inputPorts;
        for (jack_port_t* port : *ports) {
            for (const std::string& peer : m_routing.Peers(jack_port_short_name(port))) {
                // A port that is not there (any more, or yet) is passed over: never guessed.
                if (jack_port_by_name(m_client, peer.c_str()) == nullptr)
                    continue;
                if (input)
                    jack_connect(m_client, peer.c_str(), jack_port_name(port));
                else
                    jack_connect(m_client, jack_port_name(port), peer.c_str());
            }
        }
    }
}

void JackDriver::RememberConnections()
{
    // Once the server has gone the graph cannot be asked: the last routing read stands.
    if (m_client == nullptr || !m_active || (m_trouble.load() & kServerGone) != 0)
        return;
    const auto exists = [this](const std::string& name) {
        return jack_port_by_name(m_client, name.c_str()) != nullptr;
    };
    for (const auto* ports : { &m_inputPorts, &m_outputPorts }) {
        for (jack_port_t* port : *ports)
            m_routing.Update(jack_port_short_name(port), Connections(m_client, port), exists);
    }
}

void JackDriver::SaveConnections()
{
    WriteRouting();
    m_routed = false;
}

bool JackDriver::WriteRouting()
{
    if (!m_routed || m_routing == m_savedRouting)
        return false;
    std::vector<std::string> ports;
    for (int i = 0; i < m_config.inputs; ++i)
        ports.push_back("in_" + std::to_string(i + 1));
    for (int i = 0; i < m_config.outputs; ++i)
        ports.push_back("out_" + std::to_string(i + 1));
    // A file that could not be written (or is there but could not be read, and so is never
    // replaced) is tried again at the next change and when the client closes.
    if (m_routing.Save(m_configPath, ports))
        m_savedRouting = m_routing;
    return true;
}

void JackDriver::ConnectPhysicalCaptures()
{
    const char** physical = jack_get_ports(
        m_client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsOutput);
    if (physical == nullptr)
        return;
    for (size_t i = 0; physical[i] != nullptr && i < m_inputPorts.size(); ++i)
        jack_connect(m_client, physical[i], jack_port_name(m_inputPorts[i]));
    jack_free(static_cast<void*>(physical));
}

} // namespace kerrion::jack
