#pragma once
#include "app/CommandTable.h"
#include "app/KeyboardIndicators.h"
#include "ui/Composer.h"

#include <QMainWindow>

class CommandBars;
class HtmlEditor;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The message composer: the program's main window. The windows it opens get what they need of it from
// it: the message (Composer), or the lists they change through their own signals.
class MainForm : public QMainWindow, public Composer {
    Q_OBJECT
public:
    explicit MainForm(QWidget* parent = nullptr);
    ~MainForm() override;

    HtmlEditor* editor() const { return m_editor; }
    CommandBars* commandBars() const { return m_commandBars; }

    // The execute handler of the menu bar and the tool bar: runs the command with this id (a tool
    // button's id runs the menu command it repeats). An id without a command does nothing.
    void ExecuteCommand(CommandId::Id id);

    // Composer: the message as the windows this one opens see it.
    HtmlEditor* Editor() const override;
    QString Subject() const override;
    void SetSubject(const QString& subject) override;
    QString Group() const override;
    int GroupCount() const override;
    MessageFormat Format() const override;
    void SetFormat(MessageFormat format) override;
    MessagePriority Priority() const override;
    bool ReadReceipt() const override;
    QStringList Attachments() const override;
    void AddAttachments(const QStringList& paths) override;
    void FocusField(Field field) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // The manager windows and the send run belong to other parts of the program; they are connected
    // here when those windows join the main window.
    void EmailButtonClicked();
    void GroupButtonClicked();
    void HistoryButtonClicked();
    void SignatureButtonClicked();
    void SendButtonClicked();
    // The lists that follow what the Email Manager and the Group Manager store.
    void ShowSender(const QString& sender);
    void ShowSendingMethod(const QString& method);
    void ShowGroups(const QStringList& names);

private:
    // File commands and the save-changes steps.
    void newDocument();
    void openDocument();
    void saveDocument();
    void printDocument();
    // Formatting buttons, context menu, attachments and the Merge menu.
    void editorContextMenuRequested();
    void editorContextMenuChosen(int index);
    void attachFiles();
    void deleteAttachment();
    void insertMergeMacro(int id);
    // Commands that open the windows of other areas.
    void openRoutedWindow(int id);
    void openTransferWindow(bool import);
    void technicalSupport();
    void showTipOfTheDay();

    void buildControls();
    void buildCommands();
    void buildStatusBar();
    void load();
    void readLockState();
    void showKeyboardIndicators();

    QComboBox* m_fromComboBox = nullptr;
    QComboBox* m_toComboBox = nullptr;
    QLineEdit* m_subjectTextBox = nullptr;
    HtmlEditor* m_editor = nullptr;
    QGroupBox* m_frame = nullptr;
    QComboBox* m_sendingMethodComboBox = nullptr;
    QComboBox* m_priorityComboBox = nullptr;
    QComboBox* m_formatComboBox = nullptr;
    QCheckBox* m_rrrCheckBox = nullptr;
    QComboBox* m_attachmentComboBox = nullptr;
    QPushButton* m_emailButton = nullptr;
    QPushButton* m_groupButton = nullptr;
    CommandBars* m_commandBars = nullptr;
    QLabel* m_insPane = nullptr;
    QLabel* m_capsPane = nullptr;
    QLabel* m_numPane = nullptr;
    KeyboardIndicators m_keys;
};
