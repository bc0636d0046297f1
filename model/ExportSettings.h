#pragma once

#include <QString>

// The export dialogs' choices, remembered while the program runs (never stored on
// disk): each dialog opens with them and stores them on OK. The settings object
// resets them once at start-up.
struct ExportSettings
{
    static inline int s_nDestination = 0; // 0 clipboard, 1 file
    static inline QString s_strFilePath;
    static inline int s_nColourDepth = 3;    // 0 monochrome, 1 16 colours, 2 256 colours, 3 24-bit
    static inline int s_nResolutionMode = 0; // 0 printer, 1 screen, 2 custom
    static inline int s_nDpi = 0;
    // The values at start-up (the DPI is kept).
    static void Reset()
    {
        s_nDestination = 0;
        s_strFilePath.clear();
        s_nColourDepth = 3;
        s_nResolutionMode = 0;
    }
};
