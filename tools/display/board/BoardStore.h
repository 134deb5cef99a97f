#pragma once
// The state file of one running display: read once at start, replaced atomically when the
// board changes, at most once per minimum gap however fast messages come, and at once on
// Flush (at exit, SIGTERM and SIGINT included). The writing itself runs on a thread of its own
// (FileReplacer). A crash or a power cut loses at most what came in the last gap and the write
// under way. A damaged or foreign file is logged, renamed aside (".damaged" appended)
// and reads as nothing. Lives on the thread that made it.

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

#include "BoardState.h"
#include "FileReplacer.h"

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
    FileReplacer replacer_;
};

}  // namespace display
