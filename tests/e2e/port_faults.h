#pragma once
// Ports made unusable the ways a user's machine makes them: held by another
// program, not to be opened by this user, or gone.

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/modem_sim.h"

// The device node a port's link leads to.
inline std::string PortNode(const ModemSim& sim, int com)
{
    char resolved[PATH_MAX];
    return ::realpath(sim.PortPath(com).c_str(), resolved) != nullptr ? resolved : "";
}

// COM<com> held by another program: open, in exclusive mode.
class HeldPort {
public:
    HeldPort(const ModemSim& sim, int com)
    {
        m_fd = ::open(sim.PortPath(com).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd >= 0 && ::ioctl(m_fd, TIOCEXCL) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~HeldPort()
    {
        if (m_fd >= 0) {
            ::ioctl(m_fd, TIOCNXCL);
            ::close(m_fd);
        }
    }
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// COM<com> of the simulator made a port that tellmar may not open. Root may
// open any device, so as root tellmar has to run as another user: the user
// nobody (through setpriv, Launcher()), with every other port and the way to
// the simulator's folder opened up to it. Otherwise the port's device is
// made unreadable to its owner. Everything is put back when this goes.
class DeniedPort {
public:
    DeniedPort(const ModemSim& sim, int com)
    {
        const std::string denied = PortNode(sim, com);
        if (denied.empty()) {
            m_problem = "COM" + std::to_string(com) + " has no device";
            return;
        }
        if (::geteuid() != 0) {
            Chmod(denied, 0);
            return;
        }
        if (::access("/usr/bin/setpriv", X_OK) != 0) {
            m_problem = "as root this needs setpriv (util-linux) to run tellmar as nobody";
            return;
        }
        m_launcher = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        Chmod(sim.Root(), 0711);
        if (DIR* dir = ::opendir(sim.Dir().c_str())) {
            const std::string own = "COM" + std::to_string(com);
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name.rfind("COM", 0) == 0 && name != own) {
                    Chmod(PortNode(sim, std::atoi(name.c_str() + 3)), 0666);
                }
            }
            ::closedir(dir);
        }
        Chmod(denied, 0600);
    }
    ~DeniedPort()
    {
        for (auto it = m_modes.rbegin(); it != m_modes.rend(); ++it) {
            ::chmod(it->first.c_str(), it->second);
        }
    }
    DeniedPort(const DeniedPort&) = delete;
    DeniedPort& operator=(const DeniedPort&) = delete;

    // Why the port could not be made so; empty when it is.
    const std::string& Problem() const { return m_problem; }
    // What starts tellmar (empty: tellmar itself).
    const std::vector<std::string>& Launcher() const { return m_launcher; }

private:
    void Chmod(const std::string& path, mode_t mode)
    {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && ::chmod(path.c_str(), mode) == 0) {
            m_modes.emplace_back(path, st.st_mode & 07777);
        } else if (m_problem.empty()) {
            m_problem = "cannot change the mode of " + path;
        }
    }

    std::vector<std::pair<std::string, mode_t>> m_modes;
    std::vector<std::string> m_launcher;
    std::string m_problem;
};

// A COM<com> entry in the simulator's folder whose device is gone: a node of
// a device number no driver has (ENXIO on open). Making device nodes needs
// root (CAP_MKNOD); Made() says whether it was made.
class GonePort {
public:
    GonePort(const ModemSim& sim, int com) : m_path(sim.Dir() + "/COM" + std::to_string(com))
    {
        // 240 to 254 are the majors left for local, experimental use.
        m_made = ::mknod(m_path.c_str(), S_IFCHR | 0600, makedev(241, 0)) == 0;
    }
    ~GonePort()
    {
        if (m_made) {
            ::unlink(m_path.c_str());
        }
    }
    GonePort(const GonePort&) = delete;
    GonePort& operator=(const GonePort&) = delete;
    bool Made() const { return m_made; }

private:
    std::string m_path;
    bool m_made = false;
};
