#pragma once
// The state file of one running display: read once at start, replaced atomically when the
// board changes, at most once per minimum gap however fast messages come, and at once on
// Flush (at exit, SIGTERM and SIGINT included). The writing itself runs on a thread of its own
// (FileReplacer). A crash or a power cut loses at most what came in the last gap and the write
// under way. A damaged or foreign file is logged, renamed aside (".damaged" appended, then
// ".damaged.1" and on: an earlier one is kept) and reads as nothing. The file's folder is
// checked and opened once, when the store is made (StateFile): a folder other users may write,
// or a link or anything but a regular file at the path, refuses the store. Lives on the thread
// that made it.

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>

#include "BoardState.h"
#include "FileReplacer.h"
#include "StateFile.h"

namespace display {

// The state file of a display listening on port: under $STATE_DIRECTORY (systemd's) when set,
// else ${XDG_STATE_HOME:-$HOME/.local/state}/afficheur/, named display-PORT.json. Empty for
// port 0: a port the system picks is not found again after a restart.
QString DefaultStatePath(quint16 port);

class BoardStore : public QObject {
    Q_OBJECT

  public:
    static constexpr int kMinGapMs = 250;

    explicit BoardStore(QString path, int minGapMs = kMinGapMs, QObject* parent = nullptr);
    ~BoardStore() override;
    BoardStore(const BoardStore&) = delete;
    BoardStore& operator=(const BoardStore&) = delete;

    // Why the state file cannot be used (see above), one line naming it; empty when it can.
    // A refused store reads nothing and writes nothing.
    const std::string& refused() const { return refused_; }

    // What the file holds; nothing when it is missing, damaged or foreign (the last two
    // logged and set aside).
    std::optional<SavedBoard> Load();

    // Keeps saved: written now when the last write is older than the gap, else when it ends.
    void Keep(const SavedBoard& saved);

    // Writes what waits, now, and waits until it is written. False (logged) when the write
    // failed.
    bool Flush();

    const QString& path() const { return path_; }
    // How many writes were begun.
    int writes() const { return writes_; }

  private:
    void Write();

    QString path_;
    QTimer gap_;
    std::optional<SavedBoard> waiting_;
    int writes_ = 0;
    std::string refused_;
    std::shared_ptr<const StateFile> file_;
    std::unique_ptr<FileReplacer> replacer_;  // last: its thread ends before the rest goes
};

}  // namespace display
