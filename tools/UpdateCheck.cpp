#include "tools/UpdateCheck.h"

#include "core/Version.h"
#include "mail/MailCharsets.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// The first two dot-separated fields joined; a text without a dot stays as it is.
QString ReduceVersion(const QString& text) {
    const QStringList fields = text.split(u'.');
    if (fields.size() < 2)
        return text;
    return fields.at(0) + fields.at(1);
}

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The number at the start of the text, with blanks, tabs and line feeds anywhere ignored: an optional
// sign, digits with an optional decimal point, an optional exponent (E or D); 0 when there is none.
double LeadingNumber(const QString& raw) {
    QString t;
    for (QChar c : raw) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            t += c;
    }
    int i = 0;
    QByteArray number;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        number += char(t[i++].unicode());
    bool digits = false;
    while (i < t.size() && IsDigit(t[i])) {
        number += char(t[i++].unicode());
        digits = true;
    }
    if (i < t.size() && t[i] == u'.') {
        number += '.';
        ++i;
        while (i < t.size() && IsDigit(t[i])) {
            number += char(t[i++].unicode());
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E' || t[i] == u'd' || t[i] == u'D')) {
        int j = i + 1;
        QByteArray exponent = "e";
        if (j < t.size() && (t[j] == u'+' || t[j] == u'-'))
            exponent += char(t[j++].unicode());
        bool expDigits = false;
        while (j < t.size() && IsDigit(t[j])) {
            exponent += char(t[j++].unicode());
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    bool ok = false;
    const double value = number.toDouble(&ok); // locale-free; an overflow gives infinity, not 0
    return ok || qIsInf(value) ? value : 0.0;
}

constexpr qint64 ReplyReadBufferBytes = 16 * 1024;

// The manager of the fetches, kept from one to the next while they end well.
QPointer<QNetworkAccessManager>& CurrentManager() {
    static QPointer<QNetworkAccessManager> manager;
    return manager;
}

QNetworkAccessManager* NetworkManager() {
    QPointer<QNetworkAccessManager>& current = CurrentManager();
    if (!current)
        current = new QNetworkAccessManager(QCoreApplication::instance());
    return current;
}

// A fetch given up before its answer ended leaves its connection to the manager's network thread, which
// may stay busy with it for as long as the server sends: it reads a header line to its end before it
// looks at anything else, our abort included. The next fetch must not queue behind that, so the
// manager takes no more fetches. Nor is it destroyed: that waits seconds for the busy thread, here and
// at the program's end. It stays parked (reachable, never freed) and a fresh manager takes over.
void RetireManager(QNetworkAccessManager* manager) {
    static auto* parked = new QList<QNetworkAccessManager*>;
    if (CurrentManager() == manager)
        CurrentManager().clear();
    manager->setParent(nullptr);
    parked->append(manager);
}

int& FetchTimeout() {
    static int ms = 30000;
    return ms;
}

} // namespace

QString CompareVersion(const QString& installed, const QString& published) {
    const double mine = LeadingNumber(ReduceVersion(installed));
    const double site = LeadingNumber(ReduceVersion(published));
    if (site < mine)
        return QStringLiteral("MyVersion");
    if (site == mine)
        return QStringLiteral("SameVersion");
    return QStringLiteral("SiteVersion");
}

QString InstalledVersionText() {
    return QString::number(VersionMajor) + u'.' + QString::number(VersionMinor);
}

UpdateFileFields ParseUpdateFile(const QByteArray& bytes) {
    // One character per byte, as the Windows-1252 code page gives it.
    QString text;
    mail::DecodeCharset(bytes, QStringLiteral("windows-1252"), &text);
    const QStringList fields = text.split(u'+');
    UpdateFileFields out;
    if (fields.size() < 2)
        return out;
    out.ok = true;
    out.published = fields.at(0);
    out.size = fields.at(1);
    return out;
}

UpdateFetcher::UpdateFetcher(int timeoutMs) : m_timeoutMs(timeoutMs) {}

void UpdateFetcher::Abort() {
    m_aborted = true;
    if (m_reply)
        m_reply->abort();
}

UpdateFetchResult UpdateFetcher::Fetch(const QUrl& url) {
    UpdateFetchResult result;
    m_aborted = false;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // The answer as it is on the wire, so the cap counts what we hold: a compressed answer would be
    // inflated by Qt without bound (a megabyte of gzip is a gigabyte of zeros), so none is asked for
    // and one sent anyway is refused.
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkAccessManager* manager = NetworkManager();
    QNetworkReply* reply = manager->get(request);
    // The network thread takes no more than this ahead of our reads; without a bound it would take in
    // whatever the server sends while this thread is busy, long before the cap can be checked.
    reply->setReadBufferSize(ReplyReadBufferBytes);
    m_reply = reply;

    bool tooLarge = false;
    bool timedOut = false;
    bool compressed = false;
    QByteArray body;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, reply, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [&] {
        const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
        if (!encoding.isEmpty() && encoding != "identity") {
            compressed = true;
            reply->abort();
            return;
        }
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > MaxUpdateFileBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    // Never more than one byte past the cap is read, however much is waiting.
    const auto readSome = [&] {
        body += reply->read(MaxUpdateFileBytes + 1 - body.size());
        return body.size() > MaxUpdateFileBytes;
    };
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        if (readSome()) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(m_timeoutMs);
    if (!reply->isFinished())
        loop.exec();
    timer.stop();

    if (!tooLarge && reply->error() == QNetworkReply::NoError && reply->bytesAvailable() > 0)
        tooLarge = readSome();
    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (tooLarge)
        result.outcome = UpdateFetchResult::TooLarge;
    else if (compressed)
        result.outcome = UpdateFetchResult::NetworkError;
    else if (timedOut)
        result.outcome = UpdateFetchResult::TimedOut;
    else if (m_aborted)
        result.outcome = UpdateFetchResult::Aborted;
    else if (result.httpStatus != 0 && (result.httpStatus < 200 || result.httpStatus > 299))
        result.outcome = UpdateFetchResult::HttpError;
    else if (reply->error() != QNetworkReply::NoError || result.httpStatus == 0)
        result.outcome = UpdateFetchResult::NetworkError;
    else {
        result.outcome = UpdateFetchResult::Ok;
        result.body = body;
    }
    m_reply = nullptr;
    reply->disconnect();
    delete reply;
    if (tooLarge || timedOut || compressed || m_aborted)
        RetireManager(manager);
    return result;
}

int UpdateFetchTimeoutMs() {
    return FetchTimeout();
}

void SetUpdateFetchTimeoutForTesting(int ms) {
    FetchTimeout() = ms;
}

UpdateView ReadyView() {
    UpdateView v;
    v.state = UpdateState::Ready;
    v.label1 = QStringLiteral(
        "Would you like to check the Internet to see if a newer version of Velanto is available?");
    v.label2 = QStringLiteral("Click Check to continue.");
    v.buttonCaption = QStringLiteral("Check");
    v.buttonEnabled = true;
    v.focusOnCheck = true;
    return v;
}

UpdateView CheckingView() {
    UpdateView v;
    v.state = UpdateState::Checking;
    v.label1 = QStringLiteral("Checking the Internet to see if a new version of Velanto is available.");
    v.label2 = QStringLiteral("Please wait while Velanto searches for available updates.");
    v.buttonCaption = QStringLiteral("Check");
    return v;
}

UpdateView FailedView() {
    UpdateView v;
    v.state = UpdateState::Failed;
    v.label1 = QStringLiteral("Velanto update failed.");
    v.label2 = QStringLiteral("Please contact Torvale if you need help.");
    v.label3 = QStringLiteral("Please click Close to quit.");
    v.buttonCaption = QStringLiteral("Check");
    return v;
}

UpdateView DownloadView() {
    UpdateView v;
    v.state = UpdateState::DownloadStarted;
    v.label1 = QStringLiteral("Download in progress.");
    v.label2 = QStringLiteral("Please click Close to quit.");
    v.buttonCaption = QStringLiteral("Download");
    v.progressFull = true;
    return v;
}

UpdateView ViewForAnswer(const UpdateFetchResult& result, const QString& installedVersion) {
    if (result.outcome != UpdateFetchResult::Ok)
        return FailedView();
    const UpdateFileFields fields = ParseUpdateFile(result.body);
    if (!fields.ok) {
        UpdateView v = FailedView();
        v.progressFull = true;
        return v;
    }
    const QString order = CompareVersion(installedVersion, fields.published);
    UpdateView v;
    v.progressFull = true;
    if (order == QLatin1String("SiteVersion")) {
        v.state = UpdateState::NewerFound;
        v.label1 = QStringLiteral(
            "There is a newer version of Velanto available than the one currently installed on your system.");
        v.label2 = QStringLiteral("Version ") + fields.published + QStringLiteral(" is ") + fields.size +
                   QStringLiteral(" MB in size.");
        v.label3 = QStringLiteral("Click Download to proceed with the update or Close to quit.");
        v.buttonCaption = QStringLiteral("Download");
        v.buttonEnabled = true;
        v.focusOnCheck = true;
        return v;
    }
    if (order == QLatin1String("SameVersion")) {
        v.state = UpdateState::UpToDate;
        v.label1 = QStringLiteral("You already have the most recent version of Velanto on your system.");
        v.label2 = QStringLiteral("Please click Close to quit.");
        v.buttonCaption = QStringLiteral("Check");
        return v;
    }
    v = FailedView();
    v.progressFull = true;
    return v;
}
