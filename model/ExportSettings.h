#pragma once

#include <QString>
#include <cstdint>

// The image export dialog's remembered choices, kept for the life of the process.
// The settings object resets them once at start-up; only the export dialog reads
// and writes them afterwards.
struct ExportSettings
{
    int32_t m_nDestination = 0; // 0 clipboard, 1 file
    QString m_strFilePath;
    int32_t m_nColorDepth = 3;     // 0 monochrome, 1 16 colours, 2 256 colours, 3 24-bit
    int32_t m_nResolutionMode = 0; // 0 printer, 1 screen, 2 custom DPI
    QString m_strExtra;
    int32_t m_nExtra = 0;
    QString m_strExtension = QStringLiteral(".bmp");
};

inline ExportSettings g_exportSettings;
