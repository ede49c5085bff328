#pragma once
#include "transfer/forms/TransferRunDialog.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// The window that writes a group's recipients to a delimited text file ("Export Recipients"). It collects
// the choices and shows progress; RecipientExporter does the run.
class RecipientExportForm : public TransferRunDialog {
    Q_OBJECT
public:
    explicit RecipientExportForm(QWidget* parent = nullptr);

    // The check box over list position k (the check state belongs to the position, not to the label).
    QCheckBox* checkBox(int position) const { return m_checkBoxes[size_t(position)]; }
    bool exportCancelRequested() const { return cancelRequested(); }

public slots:
    void browse();
    void chooseEmailOnly();
    void chooseFields();
    void moveRowUp();
    void moveRowDown();
    void selectAll();
    void unselectAll();
    void exportRecipients();

protected:
    bool askToCancel() override;

private:
    // The constructor's steps: the controls from the group box down to the radio buttons, the field
    // list with its check boxes and buttons, the delimiter box, progress frame and foot buttons, their
    // signals, then the values the window opens with.
    void buildChoices();
    void buildFieldList();
    void buildDelimiterAndButtons();
    void connectControls();
    void loadValues();

    int selectedRow() const;
    void listClicked();
    void toggleSelectedRow();
    void moveRow(int step);
    void disableExportControls();
    void enableExportControls();

    QLabel* m_label1;
    QComboBox* m_groupComboBox;
    QLabel* m_label2;
    QLineEdit* m_browseTextBox;
    QPushButton* m_browseButton;
    QLabel* m_label3;
    QRadioButton* m_radioButton1;
    QRadioButton* m_radioButton2;
    QListWidget* m_listFields;
    std::array<QCheckBox*, 18> m_checkBoxes{};
    QPushButton* m_upButton;
    QPushButton* m_downButton;
    QPushButton* m_selectPushButton;
    QPushButton* m_unselectPushButton;
    QLabel* m_label4;
    QComboBox* m_delimitComboBox;
    QPushButton* m_exportButton;
    QPushButton* m_cancelButton;
};
