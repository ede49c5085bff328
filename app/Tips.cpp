#include "app/Tips.h"

#include "core/Settings.h"
#include "core/SettingsKeys.h"

#include <QRandomGenerator>

namespace TipOfTheDay {

namespace {
int currentTip = 0;
bool firstTipShown = false;
} // namespace

const QStringList& Tips() {
    static const QStringList tips = {
        QStringLiteral(
            "The Tip of the Day dialog is normally displayed when you start Velanto. You can change "
            "this behavior using the check box below."),
        QStringLiteral(
            "If you turn the Tip of the Day off and later want to see the tips, choose Tip of the Day "
            "from the Help menu."),
        QStringLiteral("By default all messages created and sent in Velanto are HTML messages."),
        QStringLiteral("Velanto supports both HTML and Plain Text file format. You can specify the default "
                       "format in the main window."),
        QStringLiteral(
            "HTML formatted messages are gaining in popularity all the time, but there is one problem "
            "with them though, not all recipients are capable of viewing them properly."),
        QStringLiteral(
            "When you create messages using HTML formatting, only email programs that support HTML can "
            "read the formatting."),
        QStringLiteral(
            "If the recipient's email program does not read HTML, the message is displayed as Plain "
            "Text with an HTML file attached."),
        QStringLiteral(
            "If you have recipient information that you would like to use in Velanto you will need to "
            "import it. Import Recipients can be found on the Tools Menu."),
        QStringLiteral(
            "If you have recipient information that you would like to use in other programs you will "
            "need to export it. Export Recipients can be found on the Tools Menu."),
        QStringLiteral(
            "Before you attach large files, compress them with 7-Zip or another compatible archiving "
            "tool. Your message is sent faster and your recipients download smaller files."),
        QStringLiteral("When you send a message it will automatically be saved to the History Manager area."),
        QStringLiteral(
            "All local images will be wrapped up with the message. Some web based email clients are "
            "not able to properly decode these. If this is a problem for you then you should consider "
            "placing the images on a web server and then link them into your HTML. This will make "
            "your messages a lot smaller  faster to send and each recipient will download them as "
            "required."),
        QStringLiteral(
            "If your SMTP Server requires authentication, then the only way to send through this mail "
            "server is to enter your username and password."),
        QStringLiteral(
            "You can specify more than one mail server as backup servers. To do so, you must delimit "
            "them by using a semicolon. This is very useful for backup purposes. Each mail server "
            "will be tried in the order specified. The message will be submitted to the first server "
            "it can connect to."),
        QStringLiteral("Please note that your ISP should not block Port 25 which is required for using SMTP "
                       "method."),
        QStringLiteral("Please note that your ISP should not block Port 110 which is required for using POP3 "
                       "method."),
        QStringLiteral(
            "Please note that your ISP should not block Port 143 which is required for using IMAP4 "
            "method."),
        QStringLiteral("Please note that Velanto is not designed to send to singular email addresses like a "
                       "regular email client."),
        QStringLiteral(
            "You need to make sure that you have a fully functional Internet connection. The type of "
            "connection does not matter."),
        QStringLiteral(
            "As a rule of thumb you should always preview the message you are about to send, choose "
            "Preview from Message menu."),
        QStringLiteral(
            "When everything is alright, click on the Send button found at the bottom right hand side "
            "of the main window. Velanto will quickly validate your message and make sure that "
            "everything it requires is in place."),
        QStringLiteral(
            "When using the Automation Tools only the headers of messages are initially downloaded. "
            "The body containing the text of the message is not downloaded until you select \"Save "
            "messages from the server on disk\"."),
        QStringLiteral(
            "Be aware that you are solely responsible for the messages you send. In many cases, sending "
            "unsolicited email is in violation of the law, and you will be solely accountable and "
            "liable for damages and violations."),
        QStringLiteral("To get started with email marketing, you need to build a list of email addresses, or "
                       "subscribers, and obtain their permission to communicate via email."),
        QStringLiteral(
            "The from address and subject line of your email are all about getting recipients past "
            "that first critical step to email success: the open."),
        QString::fromUtf8(
            "Always match your subject line to your email content and never employ spam tactics "
            "like using Re: in the subject line so that the recipient thinks it is actually a reply "
            "to a previous email. It\u2019s illegal to mislead recipients, and if the recipient "
            "feels duped into opening an email, she will be unlikely to respond to your offer."),
        QStringLiteral(
            "In a study of consumer email habits, 63.3% of the people asked said the From address, and "
            "38% the Subject line, is what makes them open an email."),
        QStringLiteral(
            "Resist the temptation to use capital letters. When you use all capital letters, there is "
            "no differentiation in your words. This makes them harder to read. IT COMES ACROSS LIKE "
            "YOU ARE SHOUTING, makes your email look like spam and will increase the likelihood of "
            "your email being filtered."),
        QStringLiteral(
            "Your physical address is required by law. Always include your reply email address and "
            "your web site URL, if you have one. Depending on your business, you may decide to "
            "include your phone number as well."),
        QStringLiteral(
            "Permission is critical to your marketing efforts because it ensures that your emails are "
            "wanted, expected and welcomed by recipients."),
        QStringLiteral(
            "Email marketing is immediate. 85% of your responses will occur within 48 hours. In "
            "contrast, direct mail can take six to eight weeks to see results while the results of "
            "other types of traditional advertising are even harder to quantify."),
    };
    return tips;
}

QString FirstRunTip() {
    return QStringLiteral(
        "Before using Velanto, please draw your attention to Thread Options from Tools Menu.");
}

bool ShowAtStartup() {
    bool number = false;
    const int value = GetSetting(Setting::OptionsTips).trimmed().toInt(&number);
    return number && value != 0;
}

QString Next() {
    if (!firstTipShown) {
        const QString first = GetSetting(Setting::OptionsFirstTip);
        static const QStringList steps = {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")};
        const qsizetype step = steps.indexOf(first);
        if (step >= 0) {
            SaveSetting(Setting::OptionsFirstTip, QString::number(step + 1));
            firstTipShown = true;
            return FirstRunTip();
        }
    }
    currentTip = QRandomGenerator::global()->bounded(int(Tips().size())) + 1;
    return Tips().at(currentTip - 1);
}

int CurrentTip() {
    return currentTip;
}

void ResetRunForTesting() {
    firstTipShown = false;
    currentTip = 0;
}

} // namespace TipOfTheDay
