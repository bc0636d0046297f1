#include "app/ResourceIcons.h"

#include "app/CommandIds.h"
#include "model/GlobalSettings.h"

#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>
#include <QString>
#include <iterator>

namespace {

// theme: an icon name of the freedesktop naming scheme (the "-symbolic" form, which
// every theme of the desktop has); own: a drawing of ours in :/icons.
struct IconEntry
{
    int id;
    const char* theme;
    const char* own;
};

constexpr IconEntry kIcons[] = {
    {276, "go-first-symbolic", nullptr},
    {277, "go-last-symbolic", nullptr},
    {278, "go-next-symbolic", nullptr},
    {279, "go-previous-symbolic", nullptr},
    {318, "document-new-symbolic", nullptr},
    {319, "document-open-symbolic", nullptr},
    {320, "document-save-symbolic", nullptr},
    {321, "edit-copy-symbolic", nullptr},
    {322, "edit-cut-symbolic", nullptr},
    {323, "edit-paste-symbolic", nullptr},
    {324, "edit-redo-symbolic", nullptr},
    {325, "edit-undo-symbolic", nullptr},
    {326, nullptr, "database"},
    {327, "document-print-preview-symbolic", nullptr},
    {328, "document-print-symbolic", nullptr},
    {329, nullptr, "select"},
    {330, "zoom-in-symbolic", nullptr},
    {331, "zoom-out-symbolic", nullptr},
    {333, "document-page-setup-symbolic", nullptr},
    {334, nullptr, "window-data"},
    {335, nullptr, "image"},
    {336, nullptr, "rotate"},
    {337, "zoom-original-symbolic", nullptr},
    {338, "zoom-fit-best-symbolic", nullptr},
    {339, "folder-symbolic", nullptr},
    {340, "folder-open-symbolic", nullptr},
    {341, nullptr, "database"},
    {342, "package-x-generic-symbolic", nullptr},
    {343, "folder-symbolic", nullptr},
    {344, "text-x-generic-symbolic", nullptr},
    {345, "folder-templates-symbolic", nullptr},
    {346, "format-text-strikethrough-symbolic", nullptr},
    {347, "edit-delete-symbolic", nullptr},
    {348, "go-down-symbolic", nullptr},
    {349, "list-add-symbolic", nullptr},
    {350, "go-up-symbolic", nullptr},
    {351, nullptr, "database"},
    {352, "x-office-calendar-symbolic", nullptr},
    {353, nullptr, "serial"},
    {354, "preferences-system-time-symbolic", nullptr},
    {355, nullptr, "text"},
    {356, nullptr, "named-substring"},
    {357, nullptr, "window-data"},
    {358, nullptr, "database"},
    {366, nullptr, "circle-text-inside"},
    {367, nullptr, "circle-text"},
    {368, nullptr, "font-colour"},
    {369, nullptr, "background-colour"},
    {370, nullptr, "fill-colour"},
    {371, nullptr, "line-colour"},
    {373, "view-conceal-symbolic", nullptr},
    {374, "view-reveal-symbolic", nullptr},
    {377, "changes-prevent-symbolic", nullptr},
    {378, "changes-allow-symbolic", nullptr},
    {394, "view-list-symbolic", nullptr},
    {395, nullptr, "barcode"},
    {400, nullptr, "text"},
    {401, "emblem-documents-symbolic", nullptr},
    {402, "text-x-generic-symbolic", nullptr},
    {403, nullptr, "database"},
    {404, nullptr, "window-data"},
    {405, nullptr, "batch-export"},
    {406, "insert-image-symbolic", nullptr},
    {407, "folder-new-symbolic", nullptr},
    {436, nullptr, "named-substring"},
    {437, nullptr, "named-substring"},
    {424, nullptr, "program"},
    {275, nullptr, "label-document"},
    {29101, nullptr, "script"},
};

// Buttons whose image comes from a toolbar strip rather than an icon resource.
constexpr IconEntry kToolbarButtons[] = {
    {CmdEditDelete, "edit-delete-symbolic", nullptr},
    {CmdToolBarcode, nullptr, "barcode"},
    {CmdToolLine, nullptr, "line"},
    {CmdToolEditData, nullptr, "edit-data"},
    {CmdToolRectangle, nullptr, "rectangle"},
    {CmdToolEllipse, nullptr, "ellipse"},
    {CmdToolPolygon, nullptr, "polygon"},
    {CmdToolText, nullptr, "text"},
    {CmdBold, "format-text-bold-symbolic", nullptr},
    {CmdItalic, "format-text-italic-symbolic", nullptr},
    {CmdUnderline, "format-text-underline-symbolic", nullptr},
    {CmdTextAlignLeft, "format-justify-left-symbolic", nullptr},
    {CmdTextAlignCentre, "format-justify-center-symbolic", nullptr},
    {CmdTextAlignRight, "format-justify-right-symbolic", nullptr},
    {CmdTextJustify, "format-justify-fill-symbolic", nullptr},
    {CmdAlignLeft, nullptr, "align-left"},
    {CmdAlignTop, nullptr, "align-top"},
    {CmdAlignRight, nullptr, "align-right"},
    {CmdAlignBottom, nullptr, "align-bottom"},
    {CmdCentreOnPageH, nullptr, "page-centre-horizontal"},
    {CmdCentreOnPageV, nullptr, "page-centre-vertical"},
    {CmdAlignCentresH, nullptr, "align-centre-horizontal"},
    {CmdAlignCentresV, nullptr, "align-centre-vertical"},
    {CmdDistributeH, nullptr, "distribute-horizontal"},
    {CmdDistributeV, nullptr, "distribute-vertical"},
    {CmdSameWidth, nullptr, "same-width"},
    {CmdSameHeight, nullptr, "same-height"},
    {CmdSameSize, nullptr, "same-size"},
    {CmdRotateRight90, "object-rotate-right-symbolic", nullptr},
    {CmdRotateRight1, "object-rotate-right-symbolic", nullptr},
    {CmdRotateLeft90, "object-rotate-left-symbolic", nullptr},
    {CmdRotateLeft1, "object-rotate-left-symbolic", nullptr},
    {CmdRotateNone, nullptr, "clear-rotation"},
    {CmdBringToFront, nullptr, "bring-to-front"},
    {CmdSendToBack, nullptr, "send-to-back"},
    {CmdSendBackward, nullptr, "send-backward"},
    {CmdBringForward, nullptr, "bring-forward"},
    {CmdPreviewPrint, "document-print-symbolic", nullptr},
    {CmdPreviewFirst, "go-first-symbolic", nullptr},
    {CmdPreviewPrevious, "go-previous-symbolic", nullptr},
    {CmdPreviewNext, "go-next-symbolic", nullptr},
    {CmdPreviewLast, "go-last-symbolic", nullptr},
    {CmdPreviewZoomIn, "zoom-in-symbolic", nullptr},
    {CmdPreviewZoomOut, "zoom-out-symbolic", nullptr},
    {CmdPreviewClose, "window-close-symbolic", nullptr},
    {CmdPreviewActual, "zoom-original-symbolic", nullptr},
    // The window-data designer's tools (select, static text, edit, combo box, date).
    {40543, nullptr, "select"},
    {40544, nullptr, "sd-static"},
    {40545, nullptr, "sd-edit"},
    {40546, nullptr, "sd-combo"},
    {40547, nullptr, "sd-date"},
};

struct CursorEntry
{
    int id;
    SettingsCursor cursor;
};

constexpr CursorEntry kCursors[] = {
    {180, Cursor180}, {181, Cursor181}, {182, Cursor182}, {183, Cursor183}, {184, Cursor184},
    {185, Cursor185}, {186, Cursor186}, {187, Cursor187}, {188, Cursor188}, {202, Cursor202},
    {292, Cursor292}, {293, Cursor293}, {296, Cursor296}, {297, Cursor297}, {298, Cursor298},
};

template <size_t N>
QIcon Lookup(const IconEntry (&table)[N], int id)
{
    InitResourceIcons();
    for (const IconEntry& e : table) {
        if (e.id != id)
            continue;
        if (e.own)
            return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(e.own)));
        return QIcon::fromTheme(QLatin1String(e.theme));
    }
    return {};
}

} // namespace

void InitResourceIcons()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(vellumcraft);
        Q_INIT_RESOURCE(pictures);
        // Without a desktop session Qt names no theme and searches only its
        // resources; the freedesktop themes that scripts/deps.sh installs are
        // searched then.
        QStringList paths = QIcon::themeSearchPaths();
        for (const QString& dir :
             QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                       QStandardPaths::LocateDirectory))
            if (!paths.contains(dir))
                paths << dir;
        QIcon::setThemeSearchPaths(paths);
        if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        if (QIcon::themeName().isEmpty())
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    (void)done;
}

QIcon ResourceIcon(int resourceId)
{
    return Lookup(kIcons, resourceId);
}

QIcon ToolbarButtonIcon(int commandId)
{
    return Lookup(kToolbarButtons, commandId);
}

QIcon ColourFaceIcon(int resourceId, const QColor& colour)
{
    QIcon face;
    for (const int size : {16, 32}) {
        QPixmap pixmap = ResourceIcon(resourceId).pixmap(size, size);
        QPainter painter(&pixmap);
        painter.scale(size / 16.0, size / 16.0);
        // The strip the drawings keep for the colour: 14 by 3 at (1, 12.5).
        const QRectF strip(1, 12.5, 14, 3);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(strip, colour.isValid() ? colour : QColor(Qt::transparent));
        if (!colour.isValid()) {
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 0));
            painter.drawRect(strip.adjusted(0, 0, -0.5, -0.5));
        }
        painter.end();
        face.addPixmap(pixmap);
    }
    return face;
}

QCursor ResourceCursor(int resourceId)
{
    InitResourceIcons();
    for (const CursorEntry& e : kCursors)
        if (e.id == resourceId)
            return CGlobalSettings::GetInstance()->GetCursor(e.cursor);
    return QCursor(Qt::ArrowCursor);
}
