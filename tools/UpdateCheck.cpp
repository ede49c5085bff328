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

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// One dot-separated part of a version as a number: an optional sign and the digits after it, with
// leading zeros dropped so that digit strings of any length compare without overflow; a part that does
// not begin with a number is 0.
struct VersionPart {
    bool negative = false;
    QStringView digits;
};

VersionPart ReadVersionPart(QStringView part) {
    VersionPart out;
    qsizetype i = 0;
    if (i < part.size() && (part[i] == u'+' || part[i] == u'-'))
        out.negative = part[i++] == u'-';
    const qsizetype start = i;
    while (i < part.size() && IsDigit(part[i]))
        ++i;
    out.digits = part.mid(start, i - start);
    while (!out.digits.isEmpty() && out.digits.front() == u'0')
        out.digits = out.digits.mid(1);
    if (out.digits.isEmpty())
        out.negative = false; // -0 is 0
    return out;
}

// Below zero, equal or above zero as a is lower than, equal to or higher than b.
int CompareParts(const VersionPart& a, const VersionPart& b) {
    if (a.negative != b.negative)
        return a.negative ? -1 : 1;
    int magnitude = 0;
    if (a.digits.size() != b.digits.size())
        magnitude = a.digits.size() < b.digits.size() ? -1 : 1;
    else
        magnitude = a.digits.compare(b.digits);
    return a.negative ? -magnitude : magnitude;
}

// Blanks, tabs and line feeds count for nothing anywhere in a version text.
QString WithoutBlanks(const QString& text) {
    QString out;
    for (QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            out += c;
    }
    return out;
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
    const QString mineText = WithoutBlanks(installed);
    const QString siteText = WithoutBlanks(published);
    const QList<QStringView> mine = QStringView(mineText).split(u'.');
    const QList<QStringView> site = QStringView(siteText).split(u'.');
    // A part one side lacks counts as 0, so 14 and 14.0 are the same version.
    int order = 0;
    for (qsizetype i = 0; order == 0 && i < qMax(mine.size(), site.size()); ++i)
        order = CompareParts(ReadVersionPart(i < site.size() ? site.at(i) : QStringView()),
                             ReadVersionPart(i < mine.size() ? mine.at(i) : QStringView()));
    if (order < 0)
        return QStringLiteral("MyVersion");
    if (order == 0)
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
