// Reads the screen-saver switch that the system passes on the command line.
#pragma once

enum class SaverMode { Display, Settings, Preview };

// `arguments` is the command line without the program path. Only the letter after the leading
// slash or dash counts (index 1); "/c:1234" and "/p 1234" carry a window number we never use.
SaverMode ReadSaverSwitch(const char* arguments);
