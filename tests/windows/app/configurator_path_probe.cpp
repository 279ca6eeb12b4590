// Builds the configurator's path as start-up does and ends with its length as exit code.
// Run under a debugger by the launcher tests, which read the line it writes there.
#include "app/configurator.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    ResolveConfiguratorPath();
    return lstrlenW(ConfiguratorPath);
}
