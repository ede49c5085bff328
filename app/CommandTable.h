#pragma once
// The main window's command set as plain data: every command with its caption, shortcut text, status
// description and icon, the menu bar's layout and the tool bar's layout. The command bars are built from
// it and the execute handler is keyed by the same ids.
#include <utility>
#include <vector>

namespace CommandId {
// Menu commands, then the tool bar's buttons (each repeats a menu command). The merge items' ids are
// in the merge macro table (sending/MergeMacros.h).
enum Id : int {
    New = 1020,
    Open = 1021,
    Save = 1022,
    SaveAs = 1023,
    Print = 1024,
    Properties = 1025,
    Exit = 1026,
    Undo = 1027,
    Redo = 1028,
    Cut = 1029,
    Copy = 1030,
    Paste = 1031,
    Delete = 1032,
    SelectAll = 1033,
    Find = 1034,
    DateTime = 1035,
    Template = 1036,
    FileAttachment = 1037,
    DeleteAttachment = 1038,
    Font = 1039,
    Body = 1040,
    Line = 1041,
    Table = 1042,
    Picture = 1043,
    Hyperlink = 1044,
    RemoveHyperlink = 1045,
    RemoveFormatting = 1046,
    Bold = 1047,
    Italic = 1048,
    Underline = 1049,
    AlignLeft = 1050,
    AlignCenter = 1051,
    AlignRight = 1052,
    IndentIncrease = 1053,
    IndentDecrease = 1054,
    Bullets = 1055,
    Numbers = 1056,
    Preview = 1057,
    Send = 1058,
    EmailManager = 1059,
    GroupManager = 1060,
    HistoryManager = 1061,
    SignatureManager = 1062,
    ImportRecipients = 1063,
    ExportRecipients = 1064,
    ThreadOptions = 1072,
    PrintEmail = 1074,
    ImportEmail = 1075,
    ExportEmail = 1076,
    ExtractEmail = 1077,
    SmtpServerInfo = 1078,
    Help = 1079,
    TipOfTheDay = 1081,
    TechnicalSupport = 1083,
    CheckForUpdates = 1084,
    HomePage = 1085,
    About = 1086,
    NetworkTools = 1128,

    ToolNew = 1102,
    ToolOpen = 1103,
    ToolSave = 1104,
    ToolPrint = 1105,
    ToolProperties = 1106,
    ToolUndo = 1107,
    ToolRedo = 1108,
    ToolCut = 1109,
    ToolCopy = 1110,
    ToolPaste = 1111,
    ToolDelete = 1112,
    ToolFind = 1113,
    ToolBold = 1114,
    ToolItalic = 1115,
    ToolUnderline = 1116,
    ToolAlignLeft = 1117,
    ToolAlignCenter = 1118,
    ToolAlignRight = 1119,
    ToolIndentDecrease = 1120,
    ToolIndentIncrease = 1121,
    ToolBullets = 1122,
    ToolNumbers = 1123,
};
} // namespace CommandId

struct CommandInfo {
    int id;
    const char* caption;     // "&" marks the access key
    const char* shortcut;    // shown beside the caption; "" for none
    const char* description; // shown in the status bar
    const char* icon;        // icon name of the theme; nullptr for none
};

// Every menu command, the 18 merge items included.
const std::vector<CommandInfo>& MenuCommands();
// The command with this id (menu commands only); nullptr when there is none.
const CommandInfo* FindCommand(int id);

// One entry of a menu: a command, a separator (id 0, no submenu) or a submenu with its commands.
struct MenuEntry {
    MenuEntry() = default;
    MenuEntry(int command) : id(command) {} // NOLINT: a command id reads as its entry in the tables
    MenuEntry(const char* title, std::vector<int> commands) : submenu(title), items(std::move(commands)) {}

    int id = 0;
    const char* submenu = nullptr;
    std::vector<int> items;
};

struct MenuLayout {
    const char* title;
    std::vector<MenuEntry> entries;
};

const std::vector<MenuLayout>& MenuBarLayout();

struct ToolButtonInfo {
    CommandId::Id id;
    const char* caption; // also its tool tip
    CommandId::Id runs;  // the menu command it repeats
    bool separatorBefore;
};

const std::vector<ToolButtonInfo>& ToolBarLayout();

// Commands whose windows belong to areas the main window does not link; they are opened through the
// command-window table and are disabled while no window is registered for them.
bool IsRoutedCommand(int id);

// Whether a shortcut text also works as a key. The editing keys (Ctrl+Z, Ctrl+C, Del, ...) stay the
// editor's and the text boxes' own; F1 is the help key every window shares.
bool IsBoundShortcut(const char* shortcut);
