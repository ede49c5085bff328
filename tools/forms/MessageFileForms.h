#pragma once
// The four message-file windows of the Extras menu. Each collects the entries, checks them with the
// Parts' messages and hands the work to the plain functions of MessagePrint, MessageImport,
// MessageExtract and MessageExport.
#include <QDialog>

class Composer;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

// Helpers every message-file window shares: a framed path box with its "..." button.
class MessageFileDialog : public QDialog {
    Q_OBJECT
protected:
    MessageFileDialog(QWidget* parent, const QString& caption, const QString& helpPage);
    // A read-only (unless editable) path box in a frame; the button opens what browse does.
    QLineEdit* pathRow(QGroupBox* frame, const char* boxName, const char* buttonName, bool editable = false);
    // The window's action button and Cancel (which closes the window), at the right below the rest.
    QPushButton* actionRow(QVBoxLayout* main, const QString& caption, const QString& name);
    // Browse for an existing .eml file into box.
    void browseMessageFile(QLineEdit* box);
    // The "Message File" frame every window starts with: its path box, whose button browses for a
    // message file.
    QLineEdit* messageFileRow(QVBoxLayout* main, const char* buttonName);
    // The "Message Format" frame of four radio buttons (TEXT checked), named as given.
    struct FormatButtons {
        QRadioButton *text, *html, *rtf, *xml;
    };
    FormatButtons formatRow(QVBoxLayout* main, const char* textName, const char* htmlName,
                            const char* rtfName);
    QList<QLineEdit*> m_hookedBoxes;

private:
    void done(int result) override;
};

// "Print Email Message"
class ExtraForm1 : public MessageFileDialog {
    Q_OBJECT
public:
    explicit ExtraForm1(QWidget* parent = nullptr);
public slots:
    void print();

private:
    QLineEdit* m_filePath;
    QRadioButton *m_text, *m_html, *m_rtf, *m_xml;
    QLineEdit* m_header;
    QCheckBox *m_center, *m_bold, *m_underline;
    QLineEdit *m_left, *m_top, *m_right;
};

// "Import Email Message": into the main window's message (composer).
class ExtraForm2 : public MessageFileDialog {
    Q_OBJECT
public:
    explicit ExtraForm2(Composer& composer, QWidget* parent = nullptr);
public slots:
    void import();

private:
    Composer& m_composer;
    QLineEdit* m_filePath;
};

// "Export Email Message": the main window's message (composer).
class ExtraForm3 : public MessageFileDialog {
    Q_OBJECT
public:
    explicit ExtraForm3(const Composer& composer, QWidget* parent = nullptr);
public slots:
    void chooseTarget();
    void exportMessage();

private:
    const Composer& m_composer;
    QLineEdit* m_filePath;
};

// "Extract Email Message"
class ExtraForm4 : public MessageFileDialog {
    Q_OBJECT
public:
    explicit ExtraForm4(QWidget* parent = nullptr);
public slots:
    void extract();

private:
    void chooseFolder(QLineEdit* box);
    void chooseTextFile(QLineEdit* box);
    QLineEdit* m_filePath;
    QRadioButton *m_text, *m_html, *m_rtf, *m_xml;
    QLineEdit *m_body, *m_recipients, *m_timestamps, *m_attachments;
    QCheckBox* m_bodyParts;
};
