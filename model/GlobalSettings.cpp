#include "model/GlobalSettings.h"

#include "model/ExportSettings.h"
#include "model/Utils.h"
#include "platform/Drawing.h"
#include "platform/IniFile.h"
#include "platform/Numbers.h"

#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QStandardPaths>

#include <algorithm>

namespace {

std::unique_ptr<CGlobalSettings>& Instance()
{
    static std::unique_ptr<CGlobalSettings> instance;
    return instance;
}

const char16_t* const kDateTemplates[] = {
    u"yyyy-MM-dd", u"yyyy.MM.dd", u"MM,dd,yyyy", u"yyyyMMdd", u"MM-dd-yy", u"dd-MM-yy",
    u"MM/dd/yy", u"dd/MM/yy", u"MM.dd.yy", u"dd.MM.yy", u"MMddyy", u"ddMMyy",
    u"yyyy-MM", u"MM-yyyy", u"yyyyMM", u"MMyyyy", u"yy-MM", u"MM-yy",
    u"yy/MM", u"MM/yy", u"yyyy", u"M", u"MM-dd", u"dd-MM",
    u"MM/dd", u"dd/MM", u"MM.dd", u"dd.MM", u"yyyy年MM月dd日", u"yyyy年M月d日",
    u"dddd", u"yyyy年MM月", u"yyyy年M月", u"yyyy年", u"M月", u"d日",
};

const char16_t* const kTimeTemplates[] = {
    u"H:mm:ss", u"H:mm", u"H时m分s秒", u"H时m分", u"tt H:mm:ss", u"tt H:mm", u"tt h:mm:ss", u"tt h:mm",
};

QStringList ToList(const auto& texts)
{
    QStringList list;
    for (const char16_t* t : texts)
        list.append(QString::fromUtf16(t));
    return list;
}

// The shape each program cursor falls back to when its image is not among the
// resources.
constexpr Qt::CursorShape kCursorShapes[kSettingsCursorCount] = {
    Qt::ArrowCursor,    Qt::SizeAllCursor, Qt::SizeFDiagCursor, Qt::SizeBDiagCursor, Qt::SizeHorCursor,
    Qt::SizeVerCursor,  Qt::CrossCursor,   Qt::CrossCursor,     Qt::CrossCursor,     Qt::CrossCursor,
    Qt::CrossCursor,    Qt::CrossCursor,   Qt::CrossCursor,     Qt::CrossCursor,     Qt::CrossCursor,
    Qt::ArrowCursor,    Qt::IBeamCursor,   Qt::DragCopyCursor,  Qt::SplitVCursor,    Qt::DragMoveCursor,
    Qt::DragCopyCursor, Qt::ForbiddenCursor,
};
constexpr int kCursorResources[kSettingsCursorCount] = {
    0, 0, 0, 0, 0, 0, 0, 180, 181, 182, 183, 184, 185, 186, 187, 188, 202, 292, 293, 296, 297, 298,
};

struct DrawItemStyle
{
    uint32_t argb;
    bool brush;
    bool dashed;
};
constexpr DrawItemStyle kDrawItems[kSettingsDrawItemCount] = {
    {0xFF00FF00u, true, false},  {0xFFFFFFFFu, true, false},  {0xFF000000u, false, false},
    {0xFF00FF00u, true, false},  {0xFFFFFFFFu, true, false},  {0xFF000000u, false, false},
    {0xFF000000u, false, false}, {0xFF00FF00u, false, true},  {0xFF000000u, false, true},
    {0xFFDC0000u, false, true},  {0xFF000000u, false, true},  {0xFF000000u, false, false},
    {0xFF000000u, false, true},  {0xFF00FFFFu, false, true},  {0xFF800080u, false, true},
};

const QString kGeneral = QStringLiteral("General");
const QString kCreate = QStringLiteral("Create");
const QString kOthers = QStringLiteral("Others");

float ClampScale(float scale)
{
    return std::clamp(scale, 0.2f, 5.0f);
}

QString Decimal(int n)
{
    return QString::number(n);
}

QString Flag(bool b)
{
    return b ? QStringLiteral("1") : QStringLiteral("0");
}

QString AppSysconfPath()
{
    return GetAppDirectory() + QStringLiteral("/sysconf.ini");
}

} // namespace

CGlobalSettings* CGlobalSettings::GetInstance()
{
    std::unique_ptr<CGlobalSettings>& instance = Instance();
    if (!instance)
        instance = std::make_unique<CGlobalSettings>();
    return instance.get();
}

void CGlobalSettings::DestroyInstance()
{
    Instance().reset();
}

CGlobalSettings::CGlobalSettings() : m_formatVersions{QStringLiteral("Vellumcraft Format Version 1.0")}
{
    ResetOptions();
}

void CGlobalSettings::Init()
{
    m_dateTemplates = ToList(kDateTemplates);
    m_timeTemplates = ToList(kTimeTemplates);
    ExportSettings::Reset();
}

void CGlobalSettings::ResetOptions()
{
    m_nSaveFileAsFormat = 0;
    m_bAlertSaveFormat = true;
    m_bContinueCreating = false;
    m_bInstantMoving = true;
    m_bInstantSizing = true;
    m_bInstantRotating = true;
    m_bCreateAsHVLine = false;
    m_bReservedFlag = true;
    m_bShowAppWelcome = true;
    m_nAppStartBehavior = 0;
    m_nNewLabelBehavior = 0;
    m_strNewLabelBasedFile.clear();
    m_nUndoMax = 50;
    m_fDefScale = 2.0f;
    m_crMbkgnd = 0xFF909AAEu;
    m_crLbkgnd = 0xFF707070u;
    m_nReserved1 = 0;
    m_nReserved2 = 0;
    m_nReserved3 = 120;
    m_strStartupPassword.clear();
}

QString CGlobalSettings::GetSysconfPath()
{
    const QString path = AppSysconfPath();
    const QFileInfo file(path);
    if (file.exists() ? file.isWritable() : QFileInfo(file.absolutePath()).isWritable())
        return path;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Vellumcraft/sysconf.ini");
}

QString CGlobalSettings::LoadOptions()
{
    // A read-only program folder may still carry the options it was installed with;
    // they apply until the user's own copy exists.
    QString path = GetSysconfPath();
    if (!QFileInfo::exists(path))
        path = AppSysconfPath();
    IniFile ini;
    QString reason;
    QString message;
    // A first start has no file, which is no fault; a link that leads nowhere is one.
    if (!ini.Load(path, &reason) && (QFileInfo(path).isSymLink() || QFileInfo::exists(path)))
        message = QStringLiteral("无法读取设置文件“%1”：%2。程序以默认设置启动。")
                      .arg(QDir::toNativeSeparators(path), reason);

    const auto flag = [&ini](const QString& key, bool missing) {
        return ini.GetInt(kGeneral, key, missing ? 1 : 0) != 0;
    };
    m_nSaveFileAsFormat = ini.GetInt(kGeneral, QStringLiteral("SaveFileAsFormat"), 0);
    m_bAlertSaveFormat = flag(QStringLiteral("AlertSaveFormat"), true);
    m_bContinueCreating = flag(QStringLiteral("ContinueCreating"), false);
    m_bInstantMoving = flag(QStringLiteral("InstantMoving"), true);
    m_bInstantSizing = flag(QStringLiteral("InstantSizing"), true);
    m_bInstantRotating = flag(QStringLiteral("InstantRotating"), true);
    m_bCreateAsHVLine = flag(QStringLiteral("CreateAsHVLine"), false);
    m_bShowAppWelcome = flag(QStringLiteral("ShowAppWelcome"), true);
    m_nAppStartBehavior = ini.GetInt(kGeneral, QStringLiteral("AppStartBehavior"), 0);
    m_nNewLabelBehavior = ini.GetInt(kCreate, QStringLiteral("NewLabelBehavior"), 0);
    m_strNewLabelBasedFile = ini.GetString(kCreate, QStringLiteral("NewLabelBasedFile"), QString());
    m_crMbkgnd = ParseColorText(ini.GetString(kOthers, QStringLiteral("Mbkgnd"), QStringLiteral("(0,0,0)")));
    m_crLbkgnd = ParseColorText(ini.GetString(kOthers, QStringLiteral("Lbkgnd"), QStringLiteral("(112,112,112)")));
    m_nUndoMax = ini.GetInt(kOthers, QStringLiteral("UndoMax"), 50);
    // Clamped here as well as by the options dialog: a hand-edited zoom of 0 or 100
    // would otherwise open every label window unusable.
    m_fDefScale = ClampScale(TextToFloat(ini.GetString(kOthers, QStringLiteral("DefScale"), QStringLiteral("2.0"))));
    return message;
}

bool CGlobalSettings::SaveOptions() const
{
    const QString path = GetSysconfPath();
    IniFile ini;
    ini.Load(path);
    ini.SetString(kGeneral, QStringLiteral("SaveFileAsFormat"), Decimal(m_nSaveFileAsFormat));
    ini.SetString(kGeneral, QStringLiteral("AlertSaveFormat"), Flag(m_bAlertSaveFormat));
    ini.SetString(kGeneral, QStringLiteral("ContinueCreating"), Flag(m_bContinueCreating));
    ini.SetString(kGeneral, QStringLiteral("InstantMoving"), Flag(m_bInstantMoving));
    ini.SetString(kGeneral, QStringLiteral("InstantSizing"), Flag(m_bInstantSizing));
    ini.SetString(kGeneral, QStringLiteral("InstantRotating"), Flag(m_bInstantRotating));
    ini.SetString(kGeneral, QStringLiteral("CreateAsHVLine"), Flag(m_bCreateAsHVLine));
    ini.SetString(kGeneral, QStringLiteral("ShowAppWelcome"), Flag(m_bShowAppWelcome));
    ini.SetString(kGeneral, QStringLiteral("AppStartBehavior"), Decimal(m_nAppStartBehavior));
    ini.SetString(kCreate, QStringLiteral("NewLabelBehavior"), Decimal(m_nNewLabelBehavior));
    ini.SetString(kCreate, QStringLiteral("NewLabelBasedFile"), m_strNewLabelBasedFile);
    ini.SetString(kOthers, QStringLiteral("Mbkgnd"), FormatColorText(m_crMbkgnd));
    ini.SetString(kOthers, QStringLiteral("Lbkgnd"), FormatColorText(m_crLbkgnd));
    ini.SetString(kOthers, QStringLiteral("UndoMax"), Decimal(m_nUndoMax));
    ini.SetString(kOthers, QStringLiteral("DefScale"), FormatFloat2(ClampScale(m_fDefScale)));
    return ini.Save(path);
}

const QCursor& CGlobalSettings::GetCursor(SettingsCursor which) const
{
    const int i = std::clamp(static_cast<int>(which), 0, kSettingsCursorCount - 1);
    std::optional<QCursor>& cursor = m_cursors[i];
    if (!cursor) {
        const QPixmap image = kCursorResources[i]
                                  ? QPixmap(QStringLiteral(":/cursors/cursor%1.png").arg(kCursorResources[i]))
                                  : QPixmap();
        if (image.isNull())
            cursor.emplace(kCursorShapes[i]);
        else
            cursor.emplace(image);
    }
    return *cursor;
}

const CGlobalSettings::DrawItem& CGlobalSettings::GetDrawItem(SettingsDrawItem which) const
{
    if (!m_drawItems) {
        m_drawItems.emplace();
        for (int i = 0; i < kSettingsDrawItemCount; ++i) {
            const DrawItemStyle& style = kDrawItems[i];
            DrawItem& item = (*m_drawItems)[i];
            item.brush = QBrush(ArgbToColor(style.argb));
            item.pen = QPen(item.brush, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
            if (style.dashed)
                item.pen.setDashPattern({3.0, 3.0});
        }
    }
    return (*m_drawItems)[std::clamp(static_cast<int>(which), 0, kSettingsDrawItemCount - 1)];
}

namespace {

// The number written from the first digit of the text on; 0 when there is none.
int ComponentFrom(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] >= u'0' && text[i] <= u'9')
            return std::min(LeadingInt(text.sliced(i)), 255);
    return 0;
}

QStringView AfterComma(QStringView text)
{
    const qsizetype comma = text.indexOf(u',');
    return comma < 0 ? QStringView() : text.sliced(comma + 1);
}

} // namespace

uint32_t ParseColorText(const QString& text)
{
    const QStringView all(text);
    const QStringView second = AfterComma(all);
    const QStringView third = AfterComma(second);
    const auto r = static_cast<uint32_t>(ComponentFrom(all));
    const auto g = static_cast<uint32_t>(ComponentFrom(second));
    const auto b = static_cast<uint32_t>(ComponentFrom(third));
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

QString FormatColorText(uint32_t argb)
{
    return QStringLiteral("(%1,%2,%3)").arg((argb >> 16) & 0xFF).arg((argb >> 8) & 0xFF).arg(argb & 0xFF);
}
