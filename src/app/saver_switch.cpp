// Switch letter to mode: c configures, p previews (which we decline), anything else runs.
#include "app/saver_switch.h"

SaverMode ReadSaverSwitch(const char* arguments)
{
    if (arguments == nullptr || arguments[0] == '\0' || arguments[1] == '\0')
        return SaverMode::Display;
    switch (arguments[1]) {
    case 'c':
    case 'C':
        return SaverMode::Settings;
    case 'p':
    case 'P':
        return SaverMode::Preview;
    default:
        return SaverMode::Display;
    }
}
