#include "corvane/session/PTYBridge.h"

#include "Kestrix/process/PseudoTerminalHelpers.h"

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
    const kestrix::PseudoTerminalHelpers::Pair pair = kestrix::PseudoTerminalHelpers::openPair(true);
    if (pair.error != 0) {
        return PTYError::openFailed(pair.error);
    }
    masterFD = pair.master;
    slaveFD = pair.slave;
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
