// The environment of a child that the engine starts on a pseudo-terminal.

#include "Kestrix/core/Terminal.h"

#include <cstdlib>

namespace kestrix {

namespace {

// Inherited from this process when set, in this order. LC_CTYPE is the variable programs read for
// the character encoding; LC_TYPE is passed on for hosts that set that name.
constexpr const char *inheritedVariables[] = {"LOGNAME", "USER", "DISPLAY", "LC_TYPE", "LC_CTYPE", "HOME"};

} // namespace

std::vector<std::string> Terminal::childEnvironment(std::optional<std::string> termName, bool trueColor)
{
    std::vector<std::string> environment;
    environment.push_back("TERM=" + termName.value_or("xterm-256color"));
    if (trueColor) {
        environment.push_back("COLORTERM=truecolor");
    }
    environment.push_back("LANG=en_US.UTF-8");
    for (const char *name : inheritedVariables) {
        if (const char *value = std::getenv(name)) {
            environment.push_back(std::string(name) + "=" + value);
        }
    }
    return environment;
}

} // namespace kestrix
