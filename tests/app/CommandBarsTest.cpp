// The main window's menu bar and tool bar against the command tables, and the commands whose windows
// come from other areas.
#include "app/CommandBars.h"
#include "app/MainForm.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"
#include "ui/CommandWindows.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

class CommandBarsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::ClearSettings();
        testenv::FreshDataPath();
    }
    testenv::MessageBoxRecorder boxes;
};

// One row per menu entry: the menu path, then the id, caption, shortcut text and description of the
// command; a separator is a row with id 0.
struct MenuRow {
    const char* menu;
    int id;
    const char* caption;
    const char* shortcut;
    const char* description;
};

const MenuRow ExpectedMenus[] = {
    {"&File", 1020, "&New", "Ctrl+N", "Creates a new document"},
    {"&File", 1021, "&Open", "Ctrl+O", "Opens an existing document"},
    {"&File", 1022, "&Save", "Ctrl+S", "Saves the active document"},
    {"&File", 1023, "Save &As", "", "Saves the active document with a new name"},
    {"&File", 0, "", "", ""},
    {"&File", 1024, "&Print", "Ctrl+P", "Prints the active document"},
    {"&File", 0, "", "", ""},
    {"&File", 1025, "P&roperties", "", "Displays properties of the active document"},
    {"&File", 0, "", "", ""},
    {"&File", 1026, "E&xit", "", "Quits the application"},
    {"&Edit", 1027, "&Undo", "Ctrl+Z", "Undo the last action"},
    {"&Edit", 1028, "&Redo", "Ctrl+Y", "Redo the previously undone action"},
    {"&Edit", 0, "", "", ""},
    {"&Edit", 1029, "Cu&t", "Ctrl+X", "Cuts the selection and puts it on the Clipboard"},
    {"&Edit", 1030, "&Copy", "Ctrl+C", "Copies the selection and puts it on the Clipboard"},
    {"&Edit", 1031, "&Paste", "Ctrl+V", "Inserts Clipboard contents"},
    {"&Edit", 1032, "&Delete", "Del", "Erases the selection"},
    {"&Edit", 0, "", "", ""},
    {"&Edit", 1033, "Select &All", "Ctrl+A", "Selects the entire document"},
    {"&Edit", 0, "", "", ""},
    {"&Edit", 1034, "&Find", "Ctrl+F", "Finds the specified text"},
    {"&Insert", 1035, "&Insert Date and Time", "", "Inserts today's date and time"},
    {"&Insert", 1036, "Insert &Email Template", "", "Inserts a predesigned message"},
    {"&Insert", 0, "", "", ""},
    {"&Insert", 1037, "&File Attachment", "", "Inserts File(s) to include as an attachment to the message"},
    {"&Insert", 1038, "&Delete Attachment", "", "Removes File from the message"},
    {"&Merge", 1087, "&Email", "", "Inserts Email Macro"},
    {"&Merge", 1088, "&Title", "", "Inserts Title Macro"},
    {"&Merge", 1089, "&First Name", "", "Inserts First Name Macro"},
    {"&Merge", 1090, "&Last Name", "", "Inserts Last Name Macro"},
    {"&Merge", 1091, "&Country", "", "Inserts Country Macro"},
    {"&Merge", 1092, "&State", "", "Inserts State Macro"},
    {"&Merge", 1093, "C&ity", "", "Inserts City Macro"},
    {"&Merge", 1124, "Address &1", "", "Inserts Address 1 Macro"},
    {"&Merge", 1094, "Address &2", "", "Inserts Address 2 Macro"},
    {"&Merge", 1095, "&ZIP Code", "", "Inserts ZIP Code Macro"},
    {"&Merge", 1096, "&Phone", "", "Inserts Phone Macro"},
    {"&Merge", 1097, "Fa&x", "", "Inserts Fax Macro"},
    {"&Merge", 1098, "C&ompany", "", "Inserts Company Macro"},
    {"&Merge", 1099, "&Job Title", "", "Inserts Job Title Macro"},
    {"&Merge", 1100, "&Web Site", "", "Inserts Web Site Macro"},
    {"&Merge", 1125, "IP &Address", "", "Inserts IP Address Macro"},
    {"&Merge", 1126, "&Date Added", "", "Inserts Date Added Macro"},
    {"&Merge", 1127, "Additio&nal Field", "", "Inserts Additional Field Macro"},
    {"Messa&ge", 1039, "&Font", "Ctrl+F1", "Selects font for current selection"},
    {"Messa&ge", 1040, "&Body", "Ctrl+F2", "Formats the message body"},
    {"Messa&ge", 0, "", "", ""},
    {"Messa&ge/&Insert", 1041, "&Line", "Ctrl+F3", "Inserts a horizontal line into the message"},
    {"Messa&ge/&Insert", 1042, "&Table", "Ctrl+F4", "Inserts a table into the message"},
    {"Messa&ge/&Insert", 1043, "&Picture", "Ctrl+F5", "Inserts a picture into the message"},
    {"Messa&ge/&Insert", 1044, "&Hyperlink", "Ctrl+F6",
     "Modifies the selected item to associate it as a hyperlink"},
    {"Messa&ge/&Insert", 1045, "&Remove Hyperlink", "Ctrl+F7",
     "Removes the hyperlink from the selected item"},
    {"Messa&ge/&Insert", 1046, "Remove &Formatting", "Ctrl+F8", "Removes the text formatting"},
    {"Messa&ge/Styl&e", 1047, "&Bold", "", "Makes the selection bold (toggle)"},
    {"Messa&ge/Styl&e", 1048, "&Italic", "", "Makes the selection italic (toggle)"},
    {"Messa&ge/Styl&e", 1049, "&Underline", "", "Formats the selection with a continuous underline (toggle)"},
    {"Messa&ge/&Align", 1050, "&Left", "", "Left-justifies paragraph"},
    {"Messa&ge/&Align", 1051, "&Center", "", "Center-justifies paragraph"},
    {"Messa&ge/&Align", 1052, "&Right", "", "Right-justifies paragraph"},
    {"Messa&ge/In&dentation", 1053, "&Increase", "", "Increases the indent of the selected paragraph"},
    {"Messa&ge/In&dentation", 1054, "&Decrease", "", "Decreases the indent of the selected paragraph"},
    {"Messa&ge/Bullets and &Numbers", 1055, "&Bullets", "", "Adds bullets to existing document"},
    {"Messa&ge/Bullets and &Numbers", 1056, "&Numbers", "", "Adds numbers to existing document"},
    {"Messa&ge", 0, "", "", ""},
    {"Messa&ge", 1057, "&Preview", "", "Previews the message in the default email client"},
    {"Messa&ge", 1058, "&Send", "", "Sends the document through electronic mail"},
    {"&Setup", 1059, "&Email Manager", "F5", "Displays Email Manager"},
    {"&Setup", 0, "", "", ""},
    {"&Setup", 1060, "&Group Manager", "F6", "Displays Group Manager"},
    {"&Setup", 0, "", "", ""},
    {"&Setup", 1061, "&History Manager", "F7", "Displays History Manager"},
    {"&Setup", 0, "", "", ""},
    {"&Setup", 1062, "&Signature Manager", "F8", "Displays Signature Manager"},
    {"&Tools", 1063, "&Import Recipients", "F3", "Imports Recipient Information"},
    {"&Tools", 1064, "&Export Recipients", "F4", "Exports Recipient Information"},
    {"&Tools", 0, "", "", ""},
    {"&Tools", 1072, "&Thread Options", "", "Allows you to configure thread options"},
    {"E&xtras", 1128, "&Network Tools", "", "Displays Network Tools"},
    {"E&xtras", 0, "", "", ""},
    {"E&xtras", 1074, "&Print Email Message", "", "Sends an email message to a system printer"},
    {"E&xtras", 0, "", "", ""},
    {"E&xtras", 1075, "&Import Email Message", "", "Imports an email message"},
    {"E&xtras", 0, "", "", ""},
    {"E&xtras", 1076, "&Export Email Message", "", "Exports an email message"},
    {"E&xtras", 0, "", "", ""},
    {"E&xtras", 1077, "E&xtract Email Message", "", "Extracts the contents of an email message"},
    {"E&xtras", 0, "", "", ""},
    {"E&xtras", 1078, "&SMTP Server Information", "", "Retrieves the SMTP server information"},
    {"&Help", 1079, "Velanto &Help", "F1", "Lists Help Topics"},
    {"&Help", 1081, "Tip of the &Day", "F2", "Displays the Tip of the Day"},
    {"&Help", 0, "", "", ""},
    {"&Help", 1083, "Technical &Support", "", "Provides support for problems you might be having"},
    {"&Help", 1084, "&Check for Updates", "", "Checks the Internet for Updates"},
    {"&Help", 1085, "&Visit Torvale Home Page", "", "Displays the Torvale Home Page"},
    {"&Help", 0, "", "", ""},
    {"&Help", 1086, "&About Torvale Velanto", "", "Displays program information and version number"},
};

// One row per tool-bar entry: id, caption, whether a separator stands before it, the command it repeats.
struct ToolRow {
    int id;
    const char* caption;
    bool separator;
    int runs;
};

const ToolRow ExpectedTools[] = {
    {1102, "New", false, 1020},
    {1103, "Open", false, 1021},
    {1104, "Save", false, 1022},
    {1105, "Print", false, 1024},
    {1106, "Properties", true, 1025},
    {1107, "Undo", true, 1027},
    {1108, "Redo", false, 1028},
    {1109, "Cut", true, 1029},
    {1110, "Copy", false, 1030},
    {1111, "Paste", false, 1031},
    {1112, "Delete", false, 1032},
    {1113, "Find", true, 1034},
    {1114, "Bold", true, 1047},
    {1115, "Italic", false, 1048},
    {1116, "Underline", false, 1049},
    {1117, "Align Left", true, 1050},
    {1118, "Align Center", false, 1051},
    {1119, "Align Right", false, 1052},
    {1120, "Decrease Indentation", true, 1054},
    {1121, "Increase Indentation", false, 1053},
    {1122, "Formatting Bullets", true, 1055},
    {1123, "Formatting Numbers", false, 1056},
};

// What a menu item shows beside its caption: its key, or the text after the tab when the key stays the
// editor's own.
QString shortcutText(const QAction* a) {
    if (!a->shortcut().isEmpty())
        return a->shortcut().toString(QKeySequence::PortableText);
    return a->text().section(QLatin1Char('\t'), 1);
}

void walkMenu(const QMenu* menu, const QString& path, std::vector<MenuRow>& rows,
              std::vector<QByteArray>& keep) {
    for (const QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            keep.push_back(path.toUtf8());
            rows.push_back({keep.back().constData(), 0, "", "", ""});
            continue;
        }
        if (a->menu()) {
            walkMenu(a->menu(), path + QLatin1Char('/') + a->menu()->title(), rows, keep);
            continue;
        }
        for (const QString& s :
             {path, a->text().section(QLatin1Char('\t'), 0, 0), shortcutText(a), a->statusTip()})
            keep.push_back(s.toUtf8());
        const size_t n = keep.size();
        rows.push_back({keep[n - 4].constData(), a->data().toInt(), keep[n - 3].constData(),
                        keep[n - 2].constData(), keep[n - 1].constData()});
    }
}

TEST_F(CommandBarsTest, MenuBarAndToolBarCarryEveryCommandOfTheTables) {
    MainForm form;
    auto* bar = form.findChild<QMenuBar*>(QStringLiteral("MenuBar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->windowTitle(), QStringLiteral("Menu Bar"));
    std::vector<MenuRow> seen;
    std::vector<QByteArray> keep;
    keep.reserve(4096);
    for (const QAction* top : bar->actions())
        walkMenu(top->menu(), top->menu()->title(), seen, keep);
    ASSERT_EQ(seen.size(), std::size(ExpectedMenus));
    for (size_t i = 0; i < seen.size(); ++i) {
        const MenuRow& e = ExpectedMenus[i];
        const MenuRow& s = seen[i];
        SCOPED_TRACE(testing::Message() << "row " << i << " id " << e.id);
        EXPECT_STREQ(s.menu, e.menu);
        EXPECT_EQ(s.id, e.id);
        EXPECT_STREQ(s.caption, e.caption);
        EXPECT_STREQ(s.shortcut, e.shortcut);
        EXPECT_STREQ(s.description, e.description);
    }

    auto* tools = form.findChild<QToolBar*>(QStringLiteral("ToolBar"));
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(tools->windowTitle(), QStringLiteral("Tool Bar"));
    std::vector<ToolRow> toolRows;
    bool separator = false;
    for (const QAction* a : tools->actions()) {
        if (a->isSeparator()) {
            separator = true;
            continue;
        }
        const QAction* repeated = form.commandBars()->action(
            std::find_if(std::begin(ExpectedTools), std::end(ExpectedTools), [&](const ToolRow& r) {
                return r.id == a->data().toInt();
            })->runs);
        ASSERT_NE(repeated, nullptr) << a->text().toStdString();
        EXPECT_EQ(a->toolTip(), a->text());
        EXPECT_EQ(a->statusTip(), repeated->statusTip());
        EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
        keep.push_back(a->text().toUtf8());
        toolRows.push_back({a->data().toInt(), keep.back().constData(), separator, 0});
        separator = false;
    }
    ASSERT_EQ(toolRows.size(), std::size(ExpectedTools));
    for (size_t i = 0; i < toolRows.size(); ++i) {
        SCOPED_TRACE(ExpectedTools[i].caption);
        EXPECT_EQ(toolRows[i].id, ExpectedTools[i].id);
        EXPECT_STREQ(toolRows[i].caption, ExpectedTools[i].caption);
        EXPECT_EQ(toolRows[i].separator, ExpectedTools[i].separator);
    }

    // Icons: every menu item but Remove Hyperlink and the merge items.
    for (const MenuRow& e : ExpectedMenus) {
        if (e.id == 0)
            continue;
        const bool none = e.id == 1045 || (e.id >= 1087 && e.id <= 1100) || (e.id >= 1124 && e.id <= 1127);
        EXPECT_EQ(form.commandBars()->action(e.id)->icon().isNull(), none) << e.id;
    }
    // The shortcut texts are keys, except those the editor and the text boxes keep for themselves.
    EXPECT_EQ(form.commandBars()->action(1020)->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    EXPECT_EQ(form.commandBars()->action(1042)->shortcut(), QKeySequence(QStringLiteral("Ctrl+F4")));
    EXPECT_EQ(form.commandBars()->action(1059)->shortcut(), QKeySequence(Qt::Key_F5));
    for (int own : {1027, 1028, 1029, 1030, 1031, 1032, 1033, 1079})
        EXPECT_TRUE(form.commandBars()->action(own)->shortcut().isEmpty()) << own;
}

// Commands whose windows come from other areas are disabled until a window is registered, and then run it.
TEST_F(CommandBarsTest, RoutedCommandsAreDisabledUntilTheirWindowIsRegistered) {
    const int routed[] = {1025, 1035, 1036, 1040, 1041, 1042, 1128, 1074, 1075, 1076, 1077, 1078, 1084};
    for (int id : routed)
        CommandWindows::Register(id, nullptr);
    {
        MainForm form;
        for (int id : routed)
            EXPECT_FALSE(form.commandBars()->action(id)->isEnabled()) << id;
        EXPECT_FALSE(form.commandBars()->action(1106)->isEnabled());
        EXPECT_FALSE(form.findChild<QPushButton*>(QStringLiteral("TableButton"))->isEnabled());
        EXPECT_TRUE(form.findChild<QPushButton*>(QStringLiteral("FontButton"))->isEnabled());
        form.ExecuteCommand(CommandId::Table); // does nothing, and does not crash
    }
    std::vector<int> opened;
    for (int id : routed)
        CommandWindows::Register(id, [&opened, id](QWidget* parent, Composer& composer) {
            EXPECT_NE(parent, nullptr);
            EXPECT_EQ(dynamic_cast<QWidget*>(&composer), parent) << "the main window hands in its message";
            opened.push_back(id);
        });
    {
        MainForm form;
        EXPECT_TRUE(form.commandBars()->action(1106)->isEnabled());
        auto* table = form.findChild<QPushButton*>(QStringLiteral("TableButton"));
        EXPECT_TRUE(table->isEnabled());
        table->click();
        form.findChild<QPushButton*>(QStringLiteral("BodyButton"))->click();
        form.findChild<QPushButton*>(QStringLiteral("LineButton"))->click();
        form.commandBars()->action(1106)->trigger();
        form.commandBars()->action(1084)->trigger();
        // A change of the registrations shows when a menu next opens.
        CommandWindows::Register(1128, nullptr);
        EXPECT_TRUE(form.commandBars()->action(1128)->isEnabled());
        for (QMenu* menu : form.findChildren<QMenu*>())
            if (menu->title() == QStringLiteral("E&xtras"))
                emit menu->aboutToShow();
        EXPECT_FALSE(form.commandBars()->action(1128)->isEnabled());
        form.ExecuteCommand(CommandId::NetworkTools);
    }
    EXPECT_EQ(opened, (std::vector<int>{1042, 1040, 1041, 1025, 1084}));
    for (int id : routed)
        CommandWindows::Register(id, nullptr);
}

} // namespace
