#pragma once
// Prints a message loaded by Message (through its handle) on the default printer: a page header,
// the message headers (From, To, Cc, Subject, Date) and the body, as text or as rendered HTML.
#include <QString>

#include <functional>

class QPrinter;

namespace mail {

enum PrintResult : qint32 {
    PrintOk = 0,
    PrintInvalidPrinter = 202,
    PrintCannotInitialize = 203,
    PrintCannotWrite = 204,
    // Refused before anything is printed: laying the message out would take the engine far too long.
    PrintTooManyPictures = 205,
    PrintTooComplex = 206,
    // Refused: the message is longer than the engine can lay out in one piece.
    PrintTooLong = 207,
    PrintCancelled = 255,
};

// Called after each printed page with the number of pages printed so far; false stops the print.
using PageProgress = std::function<bool(qint32 pagesPrinted)>;

// Page header style bits.
enum HeaderStyleBits : qint32 { HeaderCenter = 1, HeaderBold = 2, HeaderUnderline = 4 };

class MessagePrinter {
public:
    // Margins in millimetres, 1 to 99 (values outside are brought into that range). The bottom margin
    // follows the top margin.
    void SetLeftMargin(qint32 millimetres);
    void SetRightMargin(qint32 millimetres);
    void SetTopMargin(qint32 millimetres);
    void SetHeaderText(const QString& text);
    void SetHeaderStyle(qint32 style);
    // Prints the message of a handle from Message::GetMessageHandle. options (511) is accepted as the
    // callers pass it. Returns a PrintResult.
    qint32 PrintMessage(qint32 handle, qint32 options = 511);

    // Prints on this printer (set up by the caller, e.g. through the print dialog) instead of the
    // default printer; the printer must outlive the call to PrintMessage.
    void SetPrinter(QPrinter* printer) { printer_ = printer; }

    // Called after each printed page; returning false cancels the print (PrintCancelled).
    void SetPageProgress(PageProgress progress) { progress_ = std::move(progress); }

    // Tests print into this PDF file instead of the default printer.
    void SetOutputFileForTesting(const QString& pdfPath) { pdfPath_ = pdfPath; }

private:
    qint32 left_ = 20, right_ = 20, top_ = 20;
    QString headerText_;
    qint32 headerStyle_ = 0;
    QString pdfPath_;
    QPrinter* printer_ = nullptr;
    PageProgress progress_;
};

} // namespace mail
