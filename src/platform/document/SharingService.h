#pragma once
// The desktop's ways of handing a picture to something else, as a share menu lists them. Linux
// has no system registry of sharing services, so the services are ours: the picture onto the
// clipboard, attached to a new e-mail, and opened with an application the person picks. What
// each one calls on (processes, the desktop portal, the clipboard) goes through a
// SharingEnvironment, so that tests can record the calls instead of making them.
#include <QIcon>
#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QMimeData;

namespace platform {

// What is shared: the picture file, and the same picture decoded when the caller has it (the
// clipboard takes it as PNG without a second lossy encoding).
struct SharingItems {
    QString filePath;
    QImage image;
};

// How a share ended: ok, or the message to show.
struct ShareResult {
    bool ok = false;
    QString error;
};

using ShareCompletion = std::function<void(const ShareResult&)>;

struct SharingEnvironment {
    // The full path of a program on PATH, empty when there is none.
    std::function<QString(const QString& program)> findExecutable;
    // Runs a program; done gets its exit code, or -1 when it could not start. A program still
    // running after a few seconds counts as started well (a mail client that opens its window
    // and stays), and done gets 0.
    std::function<void(
        const QString& program, const QStringList& args, std::function<void(int exitCode)> done)>
        runProgram;
    // Asks the desktop portal to open the file with an application the person chooses; done
    // gets the portal's response: 0 opened, 1 cancelled, 2 failed, or kNoPortal when no portal
    // answered (then xdg-open is asked instead).
    static constexpr int kNoPortal = -1;
    std::function<void(const QString& filePath, std::function<void(int response)> done)>
        portalOpenFile;
    // Whether a portal can be asked at all (one is running or can be started on the bus).
    std::function<bool()> hasPortal;
    // Puts the data on the system clipboard, which takes ownership.
    std::function<void(QMimeData* data)> setClipboard;

    // The real desktop: QProcess, the session bus and the application's clipboard.
    static SharingEnvironment system();
};

class SharingService {
public:
    virtual ~SharingService() = default;
    virtual QString title() const = 0;
    // The desktop's icon for the service, from its icon theme; null where the theme has none.
    virtual QIcon image() const { return {}; }
    // Shares the items; completion is called once, on the main thread, possibly before this
    // returns.
    virtual void performWithItems(const SharingItems& items, ShareCompletion completion) = 0;
};

// The services that can share a picture file here, in menu order: "Copy Image", "Email…"
// (only where xdg-email is installed) and "Open With…" (only where a portal or xdg-open can
// answer).
std::vector<std::shared_ptr<SharingService>> sharingServicesForItems(
    const SharingEnvironment& environment = SharingEnvironment::system());

} // namespace platform
