#include "tools/forms/MessageFileForms.h"

#include "core/TextUtil.h"
#include "core/WriteSendStatus.h"
#include "editor/SaveChanges.h"
#include "sending/forms/ComposerInput.h"
#include "tools/MessageExport.h"
#include "tools/MessageExtract.h"
#include "tools/MessageFiles.h"
#include "tools/forms/MessageImport.h"
#include "tools/forms/MessagePrint.h"
#include "ui/Composer.h"
#include "ui/DialogButtons.h"
#include "ui/FieldLabels.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"
#include "ui/OutputFiles.h"
#include "ui/WindowConventions.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
const QString EmlFilter = QStringLiteral("Email Files (*.eml);;All Files (*)");
const QString TextFilter = QStringLiteral("Text Files (*.txt);;All Files (*)");

QGroupBox* Frame(QWidget* parent, const QString& caption, QLayout* into) {
    auto* frame = new QGroupBox(caption, parent);
    into->addWidget(frame);
    return frame;
}

QRadioButton* Radio(QWidget* parent, const char* name, const QString& caption, QLayout* into) {
    auto* r = new QRadioButton(caption, parent);
    r->setObjectName(QLatin1String(name));
    into->addWidget(r);
    return r;
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption, QLayout* into) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QLatin1String(name));
    into->addWidget(c);
    return c;
}

} // namespace

// --- shared -----------------------------------------------------------------------------------------

MessageFileDialog::MessageFileDialog(QWidget* parent, const QString& caption, const QString& helpPage)
    : QDialog(parent) {
    SetUpDialog(this, caption, helpPage);
    setMinimumWidth(460);
    new QVBoxLayout(this);
}

QLineEdit* MessageFileDialog::pathRow(QGroupBox* frame, const char* boxName, const char* buttonName,
                                      bool editable) {
    auto* rows = new QVBoxLayout(frame);
    auto* row = new QHBoxLayout;
    rows->addLayout(row);
    auto* box = new QLineEdit(frame);
    box->setObjectName(QLatin1String(boxName));
    box->setReadOnly(!editable);
    // The frame's title is the box's only label.
    NameControl(box, frame->title());
    row->addWidget(box);
    auto* b = new QPushButton(QStringLiteral("..."), frame);
    b->setObjectName(QLatin1String(buttonName));
    b->setFixedWidth(32);
    row->addWidget(b);
    HookRightClick(box);
    m_hookedBoxes << box;
    return box;
}

QPushButton* MessageFileDialog::actionRow(QVBoxLayout* main, const QString& caption, const QString& name) {
    // Return is left to QDialog's rule: the button after the focused box, the path box's "...".
    const DialogButtons buttons =
        MakeDialogButtons(this, {.okText = caption, .okName = name, .okIsDefault = false});
    main->addLayout(buttons.row);
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);
    return buttons.ok;
}

void MessageFileDialog::browseMessageFile(QLineEdit* box) {
    const QString path = GetOpenFileName(this, windowTitle(), EmlFilter);
    if (!path.isEmpty())
        box->setText(path);
}

QLineEdit* MessageFileDialog::messageFileRow(QVBoxLayout* main, const char* buttonName) {
    QGroupBox* fileFrame = Frame(this, QStringLiteral("Message File"), main);
    QLineEdit* box = pathRow(fileFrame, "FilePathTextBox", buttonName);
    connect(fileFrame->findChild<QPushButton*>(QLatin1String(buttonName)), &QPushButton::clicked, this,
            [this, box] { browseMessageFile(box); });
    return box;
}

MessageFileDialog::FormatButtons MessageFileDialog::formatRow(QVBoxLayout* main, const char* textName,
                                                              const char* htmlName, const char* rtfName) {
    QGroupBox* formatFrame = Frame(this, QStringLiteral("Message Format"), main);
    auto* formats = new QHBoxLayout(formatFrame);
    FormatButtons buttons;
    buttons.text = Radio(formatFrame, textName, QStringLiteral("TEXT"), formats);
    buttons.html = Radio(formatFrame, htmlName, QStringLiteral("HTML"), formats);
    buttons.rtf = Radio(formatFrame, rtfName, QStringLiteral("RTF"), formats);
    buttons.xml = Radio(formatFrame, "XMLRadioButton", QStringLiteral("XML"), formats);
    buttons.text->setChecked(true);
    return buttons;
}

void MessageFileDialog::done(int result) {
    for (QLineEdit* box : std::as_const(m_hookedBoxes))
        UnhookRightClick(box);
    QDialog::done(result);
}

// --- Print ------------------------------------------------------------------------------------------

ExtraForm1::ExtraForm1(QWidget* parent)
    : MessageFileDialog(parent, QStringLiteral("Print Email Message"), QStringLiteral("Extra Tools 2.htm")) {
    setObjectName(QStringLiteral("ExtraForm1"));
    auto* main = static_cast<QVBoxLayout*>(layout());
    m_filePath = messageFileRow(main, "ChooseFolderButton");

    const FormatButtons format = formatRow(main, "TEXTRadioButton", "HTMLRadioButton", "RTFRadioButton");
    m_text = format.text;
    m_html = format.html;
    m_rtf = format.rtf;
    m_xml = format.xml;

    QGroupBox* headerFrame = Frame(this, QStringLiteral("Page Header"), main);
    auto* header = new QHBoxLayout(headerFrame);
    m_header = new QLineEdit(headerFrame);
    m_header->setObjectName(QStringLiteral("HeaderTextBox"));
    NameControl(m_header, QStringLiteral("Page Header"));
    m_header->setMaxLength(64);
    header->addWidget(m_header, 1);
    m_center = Check(headerFrame, "CenterCheckBox", QStringLiteral("Center"), header);
    m_bold = Check(headerFrame, "BoldCheckBox", QStringLiteral("Bold"), header);
    m_underline = Check(headerFrame, "UnderlineCheckBox", QStringLiteral("Underline"), header);

    QGroupBox* marginFrame = Frame(this, QStringLiteral("Page Margins"), main);
    auto* margins = new QGridLayout(marginFrame);
    margins->setColumnStretch(3, 1);
    // Each row is named after its side: "LeftMarginTextBox", its arrows "LeftUp" and "LeftDown" in
    // "LeftUpDown".
    auto margin = [&](int row, const QString& side, const QString& label) {
        auto* caption = new QLabel(label, marginFrame);
        margins->addWidget(caption, row, 0);
        auto* box = new QLineEdit(QStringLiteral("0"), marginFrame);
        NameAfterLabel(caption, box);
        box->setObjectName(side + QStringLiteral("MarginTextBox"));
        box->setMaxLength(2);
        box->setFixedWidth(48);
        MakeDigitsOnly(box);
        HookRightClick(box);
        m_hookedBoxes << box;
        margins->addWidget(box, row, 1);
        // Arrow buttons step the box's number through 0 to 99 (a spin box shrunk to its buttons draws
        // them squashed to a few pixels under the program's style).
        QWidget* upDown = MakeStepArrows(box, 99, side, side + QStringLiteral(" margin"), marginFrame);
        margins->addWidget(upDown, row, 2);
        return box;
    };
    m_left = margin(0, QStringLiteral("Left"), QStringLiteral("Left Margin :"));
    m_top = margin(1, QStringLiteral("Top"), QStringLiteral("Top Margin :"));
    m_right = margin(2, QStringLiteral("Right"), QStringLiteral("Right Margin :"));

    connect(actionRow(main, QStringLiteral("Print"), QStringLiteral("PrintButton")), &QPushButton::clicked,
            this, &ExtraForm1::print);
}

void ExtraForm1::print() {
    m_header->setText(TrimBlanks(m_header->text()));
    if (m_filePath->text().isEmpty())
        return WarnAndFocus(m_filePath, QStringLiteral("Please specify a file."));
    for (QLineEdit* box : {m_left, m_top, m_right}) {
        const QString warning = MarginWarning(box->text());
        if (!warning.isEmpty())
            return WarnAndFocus(box, warning);
    }
    PrintRequest request;
    request.messageFile = m_filePath->text();
    request.bodyPart = BodyPartFromChoice(m_html->isChecked(), m_rtf->isChecked(), m_xml->isChecked());
    request.headerText = m_header->text();
    request.headerStyle = HeaderStyle(m_center->isChecked(), m_bold->isChecked(), m_underline->isChecked());
    request.left = m_left->text().toInt();
    request.top = m_top->text().toInt();
    request.right = m_right->text().toInt();
    const QPointer<ExtraForm1> alive(this);
    const QString problem = PrintMessageFile(request, this);
    if (!alive)
        return; // deleted during the print: nothing is left to tell
    if (!problem.isEmpty()) {
        ShowMessage(this, problem, QMessageBox::Warning);
        return;
    }
    ShowMessage(this, QStringLiteral("Print process has been completed."), QMessageBox::Information);
    accept();
}

// --- Import -----------------------------------------------------------------------------------------

ExtraForm2::ExtraForm2(Composer& composer, QWidget* parent)
    : MessageFileDialog(parent, QStringLiteral("Import Email Message"), QStringLiteral("Extra Tools 3.htm")),
      m_composer(composer) {
    setObjectName(QStringLiteral("ExtraForm2"));
    auto* main = static_cast<QVBoxLayout*>(layout());
    m_filePath = messageFileRow(main, "ChooseImportButton");
    connect(actionRow(main, QStringLiteral("Import"), QStringLiteral("ImportButton")), &QPushButton::clicked,
            this, &ExtraForm2::import);
}

void ExtraForm2::import() {
    if (m_filePath->text().isEmpty())
        return WarnAndFocus(m_filePath, QStringLiteral("Please specify a file."));
    // A modified document gets the question New and Open ask before the message replaces it.
    HtmlEditor* editor = m_composer.Editor();
    const MessageImportOutcome outcome =
        ImportMessageIntoComposer(m_filePath->text(), m_composer,
                                  [this, editor] { return !editor || PromptSaveChanges(this, editor); });
    if (!outcome.warning.isEmpty()) {
        ShowMessage(this, outcome.warning, QMessageBox::Warning);
        return;
    }
    if (!outcome.done)
        return; // the user kept the document: the window stays as it was
    ShowMessage(this, QStringLiteral("Import process has been completed."), QMessageBox::Information);
    accept();
}

// --- Export -----------------------------------------------------------------------------------------

ExtraForm3::ExtraForm3(const Composer& composer, QWidget* parent)
    : MessageFileDialog(parent, QStringLiteral("Export Email Message"), QStringLiteral("Extra Tools 4.htm")),
      m_composer(composer) {
    setObjectName(QStringLiteral("ExtraForm3"));
    auto* main = static_cast<QVBoxLayout*>(layout());
    QGroupBox* fileFrame = Frame(this, QStringLiteral("Message File"), main);
    m_filePath = pathRow(fileFrame, "FilePathTextBox", "ChooseExportButton", /*editable=*/true);
    connect(fileFrame->findChild<QPushButton*>(QStringLiteral("ChooseExportButton")), &QPushButton::clicked,
            this, &ExtraForm3::chooseTarget);
    connect(actionRow(main, QStringLiteral("Export"), QStringLiteral("ExportButton")), &QPushButton::clicked,
            this, &ExtraForm3::exportMessage);
}

void ExtraForm3::chooseTarget() {
    const QString path = GetSaveFileName(this, QStringLiteral("Export Email Message"), EmlFilter);
    if (path.isEmpty() || !ConfirmUnlockedOutput(this, path))
        return;
    m_filePath->setText(path);
}

void ExtraForm3::exportMessage() {
    const QString path = m_filePath->text();
    if (path.isEmpty())
        return WarnAndFocus(m_filePath, QStringLiteral("Please specify a file."));
    // A typed path gets the same question as a chosen one: a locked file is never replaced unasked.
    if (!ConfirmUnlockedOutput(this, path))
        return;
    const qint32 result = ExportComposedMessage(SendRunInputFrom(m_composer), path);
    if (result != 0) {
        ShowMessage(
            this, QStringLiteral("The message could not be written to the file.\n") + SmtpResultText(result),
            QMessageBox::Warning);
        return;
    }
    ShowMessage(this, QStringLiteral("Export process has been completed."), QMessageBox::Information);
    accept();
}

// --- Extract ----------------------------------------------------------------------------------------

ExtraForm4::ExtraForm4(QWidget* parent)
    : MessageFileDialog(parent, QStringLiteral("Extract Email Message"),
                        QStringLiteral("Extra Tools 5.htm")) {
    setObjectName(QStringLiteral("ExtraForm4"));
    auto* main = static_cast<QVBoxLayout*>(layout());
    m_filePath = messageFileRow(main, "ChooseFolderButton");

    const FormatButtons format = formatRow(main, "TEXTButton", "HTMLButton", "RTFButton");
    m_text = format.text;
    m_html = format.html;
    m_rtf = format.rtf;
    m_xml = format.xml;

    auto target = [&](const QString& caption, const char* boxName, const char* buttonName, bool folder) {
        QGroupBox* frame = Frame(this, caption, main);
        QLineEdit* box = pathRow(frame, boxName, buttonName);
        auto* b = frame->findChild<QPushButton*>(QLatin1String(buttonName));
        if (folder)
            connect(b, &QPushButton::clicked, this, [this, box] { chooseFolder(box); });
        else
            connect(b, &QPushButton::clicked, this, [this, box] { chooseTextFile(box); });
        return box;
    };
    m_body = target(QStringLiteral("Extract Body"), "ExtractPath1", "CommandButton1", true);
    m_recipients = target(QStringLiteral("Extract Recipients"), "ExtractPath2", "CommandButton2", false);
    m_timestamps = target(QStringLiteral("Extract Timestamps"), "ExtractPath3", "CommandButton3", false);
    m_attachments = target(QStringLiteral("Extract Attachments"), "ExtractPath4", "CommandButton4", true);
    m_bodyParts = new QCheckBox(QStringLiteral("Include Body Part Attachments"), this);
    m_bodyParts->setObjectName(QStringLiteral("BodyPartCheckBox"));
    m_attachments->parentWidget()->layout()->addWidget(m_bodyParts);

    connect(actionRow(main, QStringLiteral("Extract"), QStringLiteral("ExtractButton")),
            &QPushButton::clicked, this, &ExtraForm4::extract);
}

void ExtraForm4::chooseFolder(QLineEdit* box) {
    const QString folder = GetExistingFolder(this, QStringLiteral("Please select the destination folder."));
    if (!folder.isEmpty())
        box->setText(folder);
}

void ExtraForm4::chooseTextFile(QLineEdit* box) {
    const QString path = GetSaveFileName(this, QStringLiteral("Extract Email Message"), TextFilter);
    if (path.isEmpty() || !ConfirmUnlockedOutput(this, path))
        return;
    box->setText(path);
}

void ExtraForm4::extract() {
    if (m_filePath->text().isEmpty())
        return WarnAndFocus(m_filePath, QStringLiteral("Please specify a file."));
    ExtractRequest request;
    request.messageFile = m_filePath->text();
    request.bodyPart = BodyPartFromChoice(m_html->isChecked(), m_rtf->isChecked(), m_xml->isChecked());
    request.bodyFolder = m_body->text();
    request.recipientsFile = m_recipients->text();
    request.timestampsFile = m_timestamps->text();
    request.attachmentsFolder = m_attachments->text();
    request.bodyPartAttachments = m_bodyParts->isChecked();
    const QString refused = CheckExtractTargets(request);
    if (!refused.isEmpty()) {
        ShowMessage(this, refused, QMessageBox::Warning);
        return;
    }
    const ExtractOutcome outcome = RunExtract(request);
    if (!outcome.stopText.isEmpty()) {
        ShowMessage(this, outcome.stopText, QMessageBox::Warning);
        return;
    }
    if (!outcome.notWritten.isEmpty() || !outcome.cutShort.isEmpty()) {
        ShowMessage(this, ExtractReport(outcome), QMessageBox::Warning);
        return;
    }
    ShowMessage(this, ExtractReport(outcome), QMessageBox::Information);
    accept();
}
