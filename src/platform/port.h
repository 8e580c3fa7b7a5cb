#pragma once
// One serial port, as every layer above the platform names it. A port value
// is made once, where the ports are listed (or where the user names one),
// and is passed on as it is: nothing above the platform cuts port text apart
// or puts it together again.

#include <string>

struct COM_PORT_t {
    // The n of the name "COM<n>"; 0 for a name of another form (a virtual
    // port driver may list "CNCA0"). The scan results are ordered by it.
    int nNumber = 0;
    // The name as the system lists it and the user sees it: "COM3".
    std::string strName;
    // The logical path "\\.\COM3", the form that also opens COM10 and above
    // on Windows.
    std::string strPath;
    // What opening the port opens, resolved when the ports are listed: a
    // device node ("/dev/ttyUSB0", or a link to one) on Linux, the logical
    // path on Windows. Empty for a port the listing did not find; opening it
    // fails with the system's "no such file" error (2).
    std::string strNode;
};

// A port value for a name ("COM3"): the number is the value of the digits
// right after the first "COM" of the name (0 when there are none; a value
// beyond 9999999 counts as 0), the path is "\\.\" and the name. The node
// stays empty: only the listing resolves ports.
COM_PORT_t PortNamed(const std::string& name);
