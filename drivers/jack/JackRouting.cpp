#include "JackRouting.h"

#include "DriverIni.h"
#include "platform/text/AsciiText.h"

#include <algorithm>

namespace kerrion::jack {
namespace {

std::vector<std::string> SplitPeers(std::string_view text)
{
    std::vector<std::string> peers;
    while (!text.empty()) {
        const size_t bar = text.find(JackRouting::kSeparator);
        const std::string_view peer = TrimBlanks(text.substr(0, bar));
        if (!peer.empty())
            peers.emplace_back(peer);
        text = bar == std::string_view::npos ? std::string_view() : text.substr(bar + 1);
    }
    return peers;
}

std::string JoinPeers(const std::vector<std::string>& peers)
{
    std::string text;
    for (const std::string& peer : peers) {
        if (!JackRouting::Writable(peer))
            continue;
        if (!text.empty())
            text += JackRouting::kSeparator;
        text += peer;
    }
    return text;
}

bool Contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

JackRouting JackRouting::Load(const std::filesystem::path& path)
{
    return Read(driver::ReadDriverIni(path));
}

JackRouting JackRouting::Read(const CIniProfile& ini)
{
    JackRouting routing;
    for (const std::string& port : ini.GetKeys(kSection)) {
        std::vector<std::string> peers = SplitPeers(ini.FindValue(kSection, port).value_or(""));
        if (!peers.empty())
            routing.m_peers[AsciiLower(port)] = std::move(peers);
    }
    return routing;
}

bool JackRouting::Writable(std::string_view name)
{
    return !name.empty() && TrimBlanks(name).size() == name.size()
        && name.find_first_of(std::string_view("|\r\n\0", 4)) == std::string_view::npos;
}

bool JackRouting::Save(
    const std::filesystem::path& path, const std::vector<std::string>& ports) const
{
    driver::IniAssignments keys;
    for (const std::string& port : ports)
        keys.emplace_back(port, JoinPeers(Peers(port)));
    return driver::WriteIniKeys(path, kSection, keys);
}

bool JackRouting::Empty() const { return m_peers.empty(); }

std::vector<std::string> JackRouting::Peers(const std::string& port) const
{
    const auto found = m_peers.find(port);
    return found != m_peers.end() ? found->second : std::vector<std::string>();
}

bool JackRouting::Forgets(const JackRouting& before) const
{
    for (const auto& [port, peers] : before.m_peers) {
        const std::vector<std::string> kept = Peers(port);
        for (const std::string& peer : peers) {
            if (!Contains(kept, peer))
                return true;
        }
    }
    return false;
}

void JackRouting::Update(const std::string& port, const std::vector<std::string>& live,
    const std::function<bool(const std::string&)>& exists)
{
    std::vector<std::string> peers;
    for (const std::string& peer : Peers(port)) {
        if (Contains(live, peer) || !exists(peer))
            peers.push_back(peer);
    }
    for (const std::string& peer : live) {
        if (!Contains(peers, peer))
            peers.push_back(peer);
    }
    if (peers.empty())
        m_peers.erase(port);
    else
        m_peers[port] = std::move(peers);
}

} // namespace kerrion::jack
