#pragma once

#include <QBrush>
#include <QCursor>
#include <QPen>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

// The shared cursors, in their fixed order: the system shapes first, then the
// program's own cursors by resource number.
enum SettingsCursor : int {
    CursorArrow = 0,
    CursorSizeAll,
    CursorSizeNWSE,
    CursorSizeNESW,
    CursorSizeWE,
    CursorSizeNS,
    CursorCross,
    Cursor180, // 180 to 186: the creation tools
    Cursor181,
    Cursor182,
    Cursor183,
    Cursor184,
    Cursor185,
    Cursor186,
    Cursor187, // rotation
    Cursor188,
    Cursor202, // edit data
    Cursor292, // copy drag
    Cursor293, // guide lines and the template splitter
    Cursor296, // drag over the tree; guide lines
    Cursor297, // drag over the canvas
    Cursor298, // drag elsewhere
};
constexpr int kSettingsCursorCount = 22;

// The shared pens and brushes, in creation order. Pens are 1.0 wide in world units;
// dashed pens draw 3 on, 3 off.
enum SettingsDrawItem : int {
    BrushGreen = 0,      // 0xFF00FF00
    BrushWhite,          // 0xFFFFFFFF
    PenBlack,            // 0xFF000000
    BrushGreen2,         // 0xFF00FF00
    BrushWhite2,         // 0xFFFFFFFF
    PenBlack2,           // 0xFF000000
    PenBlack3,           // 0xFF000000
    PenDashGreen,        // 0xFF00FF00
    PenDashBlack,        // 0xFF000000
    PenDashRed,          // 0xFFDC0000: frames of data-bound objects
    PenDashBlack2,       // 0xFF000000
    PenBlack4,           // 0xFF000000
    PenDashBlack3,       // 0xFF000000
    PenDashCyan,         // 0xFF00FFFF
    PenDashPurple,       // 0xFF800080
};
constexpr int kSettingsDrawItemCount = 15;

// The program's options (kept in sysconf.ini), the known format version texts, the
// date and time templates offered for date and time bands, and the drawing resources
// every label window shares. One instance for the life of the program. Cursors,
// pens and brushes are made on first use, so the model works without any window.
class CGlobalSettings
{
public:
    static CGlobalSettings* GetInstance();
    // At exit; the next GetInstance builds a fresh object.
    static void DestroyInstance();

    CGlobalSettings();
    CGlobalSettings(const CGlobalSettings&) = delete;
    CGlobalSettings& operator=(const CGlobalSettings&) = delete;

    // Fills the template lists and resets the export dialog's remembered choices.
    void Init();
    // The option defaults (the options dialog's restore-defaults).
    void ResetOptions();
    // Missing keys take their file defaults, which differ from ResetOptions for Mbkgnd.
    // A file that is there but cannot be read as an options file (not a regular file,
    // larger than its bound, unreadable) gives every default as a missing one does,
    // and the message to show comes back; empty otherwise.
    QString LoadOptions();
    // False when sysconf.ini cannot be written; nothing else happens then.
    bool SaveOptions() const;
    // sysconf.ini in the program folder, or in the user's configuration folder for
    // Vellumcraft when the program folder cannot be written.
    static QString GetSysconfPath();

    const QCursor& GetCursor(SettingsCursor which) const;
    // Every item has both: a brush item's pen and a pen item's brush are of its colour.
    const QPen& GetPen(SettingsDrawItem which) const { return GetDrawItem(which).pen; }
    const QBrush& GetBrush(SettingsDrawItem which) const { return GetDrawItem(which).brush; }

    QStringList m_formatVersions;

    // Options
    int32_t m_nSaveFileAsFormat;
    bool m_bAlertSaveFormat;
    bool m_bContinueCreating;
    bool m_bInstantMoving;
    bool m_bInstantSizing;
    bool m_bInstantRotating;
    bool m_bCreateAsHVLine;
    bool m_bReservedFlag; // set by ResetOptions, not stored
    bool m_bShowAppWelcome;
    int32_t m_nAppStartBehavior;
    int32_t m_nNewLabelBehavior;
    QString m_strNewLabelBasedFile;
    int32_t m_nUndoMax;
    float m_fDefScale; // zoom a new label window starts with, 0.2 to 5.0
    uint32_t m_crMbkgnd;
    uint32_t m_crLbkgnd;
    int32_t m_nReserved1; // not stored
    int32_t m_nReserved2;
    int32_t m_nReserved3;
    QString m_strStartupPassword; // not stored

    // The first entry of each list is what a new date or time band gets.
    QStringList m_dateTemplates;
    QStringList m_timeTemplates;

private:
    struct DrawItem
    {
        QPen pen;
        QBrush brush;
    };
    const DrawItem& GetDrawItem(SettingsDrawItem which) const;

    mutable std::array<std::optional<QCursor>, kSettingsCursorCount> m_cursors;
    mutable std::optional<std::array<DrawItem, kSettingsDrawItemCount>> m_drawItems;
};

// "(r,g,b)" to opaque ARGB: each component is read from the first digit on, the
// second after the first ',', the third after the next one; a part without a
// digit reads as 0 and a component above 255 as 255.
uint32_t ParseColorText(const QString& text);
// "(r,g,b)"; the alpha byte is not written.
QString FormatColorText(uint32_t argb);
