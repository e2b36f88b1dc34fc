#pragma once

// The routing the JACK bridge remembers between its clients: for each of its ports (by short
// name, "in_1"), the full names of the ports it was connected to, as the server gave them (a
// PipeWire name stays as PipeWire spelled it). Kept in the [Connections] section of jack.ini,
// one key per port, the peers separated by '|':
//
//     [Connections]
//     in_1=system:capture_1|mixer:bus_L
//
// A peer whose name cannot be written as it is (one holding '|', a line break, CR or NUL, or
// blanks at either end, which a reading would drop) is not written: it is left out of the file
// and so not made again by the next client; never escaped, so that every name in the file is the
// server's own.
//
// A connection is forgotten only when it is undone while both of its ports exist: one whose
// other port went away (its program quit, the server is stopping) stays remembered, so that it
// comes back with that port. Pure (no libjack); the driver calls it from the host's threads and
// its notifier, under its client lock.

#include "app/IniProfile.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kerrion::jack {

class JackRouting {
public:
    static constexpr const char* kSection = "Connections";
    static constexpr char kSeparator = '|';

    // What `path` remembers; nothing when it has no [Connections] section.
    static JackRouting Load(const std::filesystem::path& path);
    static JackRouting Read(const CIniProfile& ini);
    // Writes the keys of `ports` (a port with no peer loses its key); the file's other lines
    // stay. False when the file could not be written, or is there but could not be read.
    bool Save(const std::filesystem::path& path, const std::vector<std::string>& ports) const;

    // True when `name` can be written to the file as it is.
    static bool Writable(std::string_view name);

    // True when no port has a remembered peer: the bridge has never been connected.
    bool Empty() const;
    std::vector<std::string> Peers(const std::string& port) const;
    // Makes `live` the port's peers, keeping the remembered ones for which `exists` is false.
    void Update(const std::string& port, const std::vector<std::string>& live,
        const std::function<bool(const std::string&)>& exists);

    // True when a peer remembered in `before` is not remembered here.
    bool Forgets(const JackRouting& before) const;

    bool operator==(const JackRouting&) const = default;

private:
    std::map<std::string, std::vector<std::string>> m_peers; // short port name -> peer names
};

} // namespace kerrion::jack
