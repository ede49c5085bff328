#include "app/CommandTable.h"

#include "sending/MergeMacros.h"

#include <cstring>

namespace {

using namespace CommandId;

const std::vector<CommandInfo> BaseCommands = {
    {New, "&New", "Ctrl+N", "Creates a new document", "document-new"},
    {Open, "&Open", "Ctrl+O", "Opens an existing document", "document-open"},
    {Save, "&Save", "Ctrl+S", "Saves the active document", "document-save"},
    {SaveAs, "Save &As", "", "Saves the active document with a new name", "document-save-as"},
    {Print, "&Print", "Ctrl+P", "Prints the active document", "document-print"},
    {Properties, "P&roperties", "", "Displays properties of the active document", "document-properties"},
    {Exit, "E&xit", "", "Quits the application", "application-exit"},
    {Undo, "&Undo", "Ctrl+Z", "Undo the last action", "edit-undo"},
    {Redo, "&Redo", "Ctrl+Y", "Redo the previously undone action", "edit-redo"},
    {Cut, "Cu&t", "Ctrl+X", "Cuts the selection and puts it on the Clipboard", "edit-cut"},
    {Copy, "&Copy", "Ctrl+C", "Copies the selection and puts it on the Clipboard", "edit-copy"},
    {Paste, "&Paste", "Ctrl+V", "Inserts Clipboard contents", "edit-paste"},
    {Delete, "&Delete", "Del", "Erases the selection", "edit-delete"},
    {SelectAll, "Select &All", "Ctrl+A", "Selects the entire document", "edit-select-all"},
    {Find, "&Find", "Ctrl+F", "Finds the specified text", "edit-find"},
    {DateTime, "&Insert Date and Time", "", "Inserts today's date and time", "appointment-new"},
    {Template, "Insert &Email Template", "", "Inserts a predesigned message", "text-x-generic-template"},
    {FileAttachment, "&File Attachment", "", "Inserts File(s) to include as an attachment to the message",
     "mail-attachment"},
    {DeleteAttachment, "&Delete Attachment", "", "Removes File from the message", "list-remove"},
    {Font, "&Font", "Ctrl+F1", "Selects font for current selection", "preferences-desktop-font"},
    {Body, "&Body", "Ctrl+F2", "Formats the message body", "preferences-desktop-wallpaper"},
    {Line, "&Line", "Ctrl+F3", "Inserts a horizontal line into the message", "format-justify-fill"},
    {Table, "&Table", "Ctrl+F4", "Inserts a table into the message", "x-office-spreadsheet"},
    {Picture, "&Picture", "Ctrl+F5", "Inserts a picture into the message", "insert-image"},
    {Hyperlink, "&Hyperlink", "Ctrl+F6", "Modifies the selected item to associate it as a hyperlink",
     "insert-link"},
    {RemoveHyperlink, "&Remove Hyperlink", "Ctrl+F7", "Removes the hyperlink from the selected item",
     nullptr},
    {RemoveFormatting, "Remove &Formatting", "Ctrl+F8", "Removes the text formatting", "edit-clear"},
    {Bold, "&Bold", "", "Makes the selection bold (toggle)", "format-text-bold"},
    {Italic, "&Italic", "", "Makes the selection italic (toggle)", "format-text-italic"},
    {Underline, "&Underline", "", "Formats the selection with a continuous underline (toggle)",
     "format-text-underline"},
    {AlignLeft, "&Left", "", "Left-justifies paragraph", "format-justify-left"},
    {AlignCenter, "&Center", "", "Center-justifies paragraph", "format-justify-center"},
    {AlignRight, "&Right", "", "Right-justifies paragraph", "format-justify-right"},
    {IndentIncrease, "&Increase", "", "Increases the indent of the selected paragraph", "format-indent-more"},
    {IndentDecrease, "&Decrease", "", "Decreases the indent of the selected paragraph", "format-indent-less"},
    {Bullets, "&Bullets", "", "Adds bullets to existing document", "view-list-bullet-symbolic"},
    {Numbers, "&Numbers", "", "Adds numbers to existing document", "view-list-ordered-symbolic"},
    {Preview, "&Preview", "", "Previews the message in the default email client", "document-print-preview"},
    {Send, "&Send", "", "Sends the document through electronic mail", "mail-send"},
    {EmailManager, "&Email Manager", "F5", "Displays Email Manager", "mail-read"},
    {GroupManager, "&Group Manager", "F6", "Displays Group Manager", "system-users"},
    {HistoryManager, "&History Manager", "F7", "Displays History Manager", "document-open-recent"},
    {SignatureManager, "&Signature Manager", "F8", "Displays Signature Manager", "accessories-text-editor"},
    {ImportRecipients, "&Import Recipients", "F3", "Imports Recipient Information", "go-down"},
    {ExportRecipients, "&Export Recipients", "F4", "Exports Recipient Information", "go-up"},
    {ThreadOptions, "&Thread Options", "", "Allows you to configure thread options", "preferences-system"},
    {NetworkTools, "&Network Tools", "", "Displays Network Tools", "network-workgroup"},
    {PrintEmail, "&Print Email Message", "", "Sends an email message to a system printer", "document-print"},
    {ImportEmail, "&Import Email Message", "", "Imports an email message", "mail-message-new"},
    {ExportEmail, "&Export Email Message", "", "Exports an email message", "mail-forward"},
    {ExtractEmail, "E&xtract Email Message", "", "Extracts the contents of an email message", "folder-open"},
    {SmtpServerInfo, "&SMTP Server Information", "", "Retrieves the SMTP server information",
     "network-server"},
    {Help, "Velanto &Help", "F1", "Lists Help Topics", "help-browser"},
    {TipOfTheDay, "Tip of the &Day", "F2", "Displays the Tip of the Day", "dialog-information"},
    {TechnicalSupport, "Technical &Support", "", "Provides support for problems you might be having",
     "help-faq"},
    {CheckForUpdates, "&Check for Updates", "", "Checks the Internet for Updates", "system-software-update"},
    {HomePage, "&Visit Torvale Home Page", "", "Displays the Torvale Home Page", "go-home"},
    {About, "&About Torvale Velanto", "", "Displays program information and version number", "help-about"},
};

std::vector<int> mergeIds() {
    std::vector<int> ids;
    for (const MergeMacro& m : MergeMacros)
        ids.push_back(m.commandId);
    return ids;
}

} // namespace

const std::vector<CommandInfo>& MenuCommands() {
    static const std::vector<CommandInfo> all = [] {
        std::vector<CommandInfo> commands = BaseCommands;
        for (const MergeMacro& m : MergeMacros)
            commands.push_back({m.commandId, m.caption, "", m.description, nullptr});
        return commands;
    }();
    return all;
}

const CommandInfo* FindCommand(int id) {
    for (const CommandInfo& c : MenuCommands())
        if (c.id == id)
            return &c;
    return nullptr;
}

const std::vector<MenuLayout>& MenuBarLayout() {
    static const std::vector<MenuLayout> layout = {
        {"&File", {{New}, {Open}, {Save}, {SaveAs}, {}, {Print}, {}, {Properties}, {}, {Exit}}},
        {"&Edit", {{Undo}, {Redo}, {}, {Cut}, {Copy}, {Paste}, {Delete}, {}, {SelectAll}, {}, {Find}}},
        {"&Insert", {{DateTime}, {Template}, {}, {FileAttachment}, {DeleteAttachment}}},
        {"&Merge",
         [] {
             std::vector<MenuEntry> entries;
             for (int id : mergeIds())
                 entries.push_back({id});
             return entries;
         }()},
        {"Messa&ge",
         {{Font},
          {Body},
          {},
          {"&Insert", {Line, Table, Picture, Hyperlink, RemoveHyperlink, RemoveFormatting}},
          {"Styl&e", {Bold, Italic, Underline}},
          {"&Align", {AlignLeft, AlignCenter, AlignRight}},
          {"In&dentation", {IndentIncrease, IndentDecrease}},
          {"Bullets and &Numbers", {Bullets, Numbers}},
          {},
          {Preview},
          {Send}}},
        {"&Setup", {{EmailManager}, {}, {GroupManager}, {}, {HistoryManager}, {}, {SignatureManager}}},
        {"&Tools", {{ImportRecipients}, {ExportRecipients}, {}, {ThreadOptions}}},
        {"E&xtras",
         {{NetworkTools},
          {},
          {PrintEmail},
          {},
          {ImportEmail},
          {},
          {ExportEmail},
          {},
          {ExtractEmail},
          {},
          {SmtpServerInfo}}},
        {"&Help",
         {{Help}, {TipOfTheDay}, {}, {TechnicalSupport}, {CheckForUpdates}, {HomePage}, {}, {About}}},
    };
    return layout;
}

const std::vector<ToolButtonInfo>& ToolBarLayout() {
    static const std::vector<ToolButtonInfo> layout = {
        {ToolNew, "New", New, false},
        {ToolOpen, "Open", Open, false},
        {ToolSave, "Save", Save, false},
        {ToolPrint, "Print", Print, false},
        {ToolProperties, "Properties", Properties, true},
        {ToolUndo, "Undo", Undo, true},
        {ToolRedo, "Redo", Redo, false},
        {ToolCut, "Cut", Cut, true},
        {ToolCopy, "Copy", Copy, false},
        {ToolPaste, "Paste", Paste, false},
        {ToolDelete, "Delete", Delete, false},
        {ToolFind, "Find", Find, true},
        {ToolBold, "Bold", Bold, true},
        {ToolItalic, "Italic", Italic, false},
        {ToolUnderline, "Underline", Underline, false},
        {ToolAlignLeft, "Align Left", AlignLeft, true},
        {ToolAlignCenter, "Align Center", AlignCenter, false},
        {ToolAlignRight, "Align Right", AlignRight, false},
        {ToolIndentDecrease, "Decrease Indentation", IndentDecrease, true},
        {ToolIndentIncrease, "Increase Indentation", IndentIncrease, false},
        {ToolBullets, "Formatting Bullets", Bullets, true},
        {ToolNumbers, "Formatting Numbers", Numbers, false},
    };
    return layout;
}

bool IsRoutedCommand(int id) {
    switch (id) {
    case Properties:
    case DateTime:
    case Template:
    case Body:
    case Line:
    case Table:
    case NetworkTools:
    case PrintEmail:
    case ImportEmail:
    case ExportEmail:
    case ExtractEmail:
    case SmtpServerInfo:
    case TechnicalSupport:
    case CheckForUpdates:
        return true;
    default:
        return false;
    }
}

bool IsBoundShortcut(const char* shortcut) {
    if (!shortcut || !*shortcut)
        return false;
    for (const char* own : {"Ctrl+Z", "Ctrl+Y", "Ctrl+X", "Ctrl+C", "Ctrl+V", "Del", "Ctrl+A", "F1"})
        if (std::strcmp(shortcut, own) == 0)
            return false;
    return true;
}
