#pragma once
#include "transfer/forms/TransferRunDialog.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

// The window that imports recipients from a text file into a group ("Import Recipients"). It collects
// the choices and shows progress; RecipientImporter does the run.
class RecipientImportForm : public TransferRunDialog {
    Q_OBJECT
public:
    explicit RecipientImportForm(QWidget* parent = nullptr);

    // The mapping box of one recipient field (0 = "Email Address :", ...).
    QComboBox* mappingBox(int row) const { return m_boxes[size_t(row)]; }
    QLabel* mappingLabel(int row) const { return m_labels[size_t(row)]; }
    // Whether a confirmed run ended in this showing (its group may have changed).
    bool importRan() const { return m_importRan; }
    bool importCancelRequested() const { return cancelRequested(); }

    // The mapping panel shows twelve of the 18 rows; value = the first row shown (0 to 6).
    void layoutMappingPanel(int value);

public slots:
    void browse();
    void chooseEmailOnly();
    void chooseFields();
    void getData();
    void startImport();
    void openReport();

protected:
    bool askToCancel() override;

private:
    // The constructor's steps: the controls from the file box down to the quotation check box, the
    // mapping panel, the buttons at the foot, their signals, then the values the window opens with.
    void buildChoices();
    void buildMappingPanel();
    void buildButtons();
    void connectControls();
    void loadValues();

    void disableImportControls();
    void enableImportControls();

    QLabel* m_label1;
    QLineEdit* m_browseTextBox;
    QPushButton* m_browseButton;
    QLabel* m_label2;
    QComboBox* m_dataComboBox;
    QLabel* m_label3;
    QRadioButton* m_radioButton1;
    QRadioButton* m_radioButton2;
    QLabel* m_label4;
    QComboBox* m_delimitComboBox;
    QCheckBox* m_quotationCheckBox;
    QPushButton* m_getDataButton;
    QLabel* m_label5;
    std::array<QLabel*, 18> m_labels{};
    std::array<QComboBox*, 18> m_boxes{};
    QScrollBar* m_vScrollBar;
    QPushButton* m_importButton;
    QPushButton* m_reportButton;
    QPushButton* m_cancelButton;
    bool m_importRan = false;
};
