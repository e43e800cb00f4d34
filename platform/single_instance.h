// One running copy per user. The first copy listens on a local socket; a later
// copy finds it there, asks it to show its window and ends.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace ringmere {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // The program's own socket; tests pass a name of their own.
    explicit SingleInstance(QObject* parent = nullptr);
    explicit SingleInstance(QString serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    // "MyApplicationSign-<uid>" in a folder that belongs to the user alone, so
    // that no one else can take the name: $XDG_RUNTIME_DIR when there is one
    // (and it is the user's, mode 0700), else "ringmere-<uid>" in the temporary
    // folder, made 0700. Empty when that folder is not the user's or others
    // may write to it; `error` then says so.
    static QString DefaultServerName(QString* error = nullptr);

    // True when another copy of this user answers; it has then been asked to
    // show and restore its window, and this copy should end with status 0.
    // `timeoutMs` bounds the whole exchange, and the answer is read up to a
    // few KiB: a slow or endless peer cannot hold start-up.
    bool AnotherCopyRunning(int timeoutMs = 2000);

    // Starts answering later copies. A socket left behind by a crashed copy is
    // replaced. False when a copy started at the same moment got there first
    // (AnotherCopyRunning() then says so) or the socket cannot be made
    // (ErrorText()); the program can go on without the hand-over. A claim
    // lock that stays taken for `lockWaitMs` does not stop the claim.
    bool Listen(int lockWaitMs = 3000);
    bool IsListening() const { return server_.isListening(); }
    QString ServerName() const { return name_; }
    QString ErrorText() const { return error_; }

signals:
    // A later copy asked for the window.
    void showRequested();

private:
    void OnNewConnection();
    bool SomeoneAnswers(int timeoutMs);

    QString name_;
    QLocalServer server_;
    QString error_;
};

}  // namespace ringmere
