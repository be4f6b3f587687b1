#include "corvane/session/PTYBridge.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace corvane {
namespace {

void closeIfOpen(int32_t &fd)
{
    if (fd != -1) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

std::optional<PTYError> PTYBridge::open()
{
    // posix_openpt and an explicit open of the slave give both descriptors O_CLOEXEC from the
    // start, so no child started meanwhile by another thread can inherit them.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master == -1) {
        return PTYError::openFailed(errno);
    }
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        const int error = errno;
        ::close(master);
        return PTYError::openFailed(error);
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave == -1) {
        const int error = errno;
        ::close(master);
        return PTYError::openFailed(error);
    }
    masterFD = master;
    slaveFD = slave;
    return std::nullopt;
}

bool PTYBridge::setWindowSize(int rows, int columns) const
{
    if (masterFD == -1) {
        return false;
    }
    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(columns);
    return ::ioctl(masterFD, TIOCSWINSZ, &size) == 0;
}

void PTYBridge::closeMaster()
{
    closeIfOpen(masterFD);
}

void PTYBridge::closeSlave()
{
    closeIfOpen(slaveFD);
}

void PTYBridge::closeDescriptors()
{
    closeMaster();
    closeSlave();
}

} // namespace corvane
