#pragma once
// What the simulated modules keep across runs, as real ones keep it in
// flash: the phone book and the network mode, per port, in one JSON file:
// {"ports": {"3": {"modeconfig": 22, "phonebook": {"ME": {"1":
//   {"number": "...", "type": 129, "name": "WMSN"}}}}}}

#include <json/json.h>

#include <string>

namespace modemsim {

class SimState {
public:
    // Reads the file if it exists. False with a reason when it exists but is
    // not a state document.
    bool Load(const std::string& path, std::string& error);
    // The part of one port; an empty object when the port has none yet.
    Json::Value& Port(int com);
    bool HasPort(int com) const;
    // Writes the whole document through a temporary file and a rename, so a
    // reader never sees half of it.
    void Save() const;

private:
    std::string m_path;
    Json::Value m_root{Json::objectValue};
};

}  // namespace modemsim
