#pragma once
// What the update check decides: the version comparison, the reading of the maker's "setup.upd", the
// fetch of that file and the texts and button state of every step. The window only shows them.
#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkReply;

// "MyVersion" (the installed version is the higher), "SameVersion" or "SiteVersion" (the published one
// is the higher). Versions compare as dotted numbers, part by part from the left, each part by its
// value (3.10 is above 3.9, 15 above 14.0); a part one side lacks counts as 0 (14 is 14.0). Blanks,
// tabs and line feeds anywhere are ignored; in each part the number at its start counts (an optional
// sign and digits), and a part that does not begin with a number counts as 0.
QString CompareVersion(const QString& installed, const QString& published);

// The installed version as the check compares it: major "." minor ("14.0").
QString InstalledVersionText();

// The fields of the update file: the published version and the installer's size in megabytes, exactly
// as they stand (nothing trimmed). ok is false when the text has no "+".
struct UpdateFileFields {
    bool ok = false;
    QString published;
    QString size;
};
UpdateFileFields ParseUpdateFile(const QByteArray& bytes);

// The outcome of one fetch of the update file.
struct UpdateFetchResult {
    enum Outcome { Ok, NetworkError, HttpError, TooLarge, TimedOut, Aborted };
    Outcome outcome = NetworkError;
    int httpStatus = 0;
    QByteArray body;
};

// Answers larger than this are refused as soon as that shows, without reading them whole.
inline constexpr qint64 MaxUpdateFileBytes = 32767;

// Fetches one address synchronously: a nested event loop runs until the answer is complete, refused
// or the time-out (for the whole fetch) has passed, so the window keeps painting meanwhile. Only a
// complete 2xx answer of at most MaxUpdateFileBytes counts as Ok; a compressed answer is a NetworkError.
// A fetch never waits on one given up before it.
class UpdateFetcher {
public:
    explicit UpdateFetcher(int timeoutMs);
    UpdateFetchResult Fetch(const QUrl& url);
    // Ends a running fetch at once (it then returns Aborted). Safe from any handler.
    void Abort();
    bool IsRunning() const { return !m_reply.isNull(); }

private:
    int m_timeoutMs;
    bool m_aborted = false;
    QPointer<QNetworkReply> m_reply;
};

// The time-out of the window's fetch: 30 seconds; tests make it short.
int UpdateFetchTimeoutMs();
void SetUpdateFetchTimeoutForTesting(int ms);

// What the window shows in each state.
enum class UpdateState { Ready, Checking, NewerFound, UpToDate, Failed, DownloadStarted };

struct UpdateView {
    UpdateState state = UpdateState::Ready;
    QString label1;
    QString label2;
    QString label3;
    QString buttonCaption; // of CheckButton
    bool buttonEnabled = false;
    bool focusOnCheck = false; // else the focus goes to CloseButton
    bool progressFull = false; // the fetch has returned an answer
};

UpdateView ReadyView();
UpdateView CheckingView();
UpdateView FailedView();
UpdateView DownloadView();
// The state after a fetch: newer found, up to date, or failed.
UpdateView ViewForAnswer(const UpdateFetchResult& result, const QString& installedVersion);
