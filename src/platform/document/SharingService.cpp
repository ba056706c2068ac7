// The three sharing services and the real desktop they call on.
#include "platform/document/SharingService.h"

#include <QBuffer>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QFile>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kStatusPollMs = 100;
// A program still running after this long has done its part: a mail client keeps its window.
constexpr int kStartedAfterMs = 5000;

// Runs program detached, so that a mail client or viewer outlives us when we quit, and reads
// its exit code from a file its shell writes when it ends.
void runDetached(const QString& program, const QStringList& args, std::function<void(int)> done)
{
    QTemporaryFile status(QDir::tempPath() + QStringLiteral("/quillmark-share-XXXXXX"));
    status.setAutoRemove(false);
    if (!status.open()) {
        done(-1);
        return;
    }
    const QString statusPath = status.fileName();
    status.close();
    QFile::remove(statusPath); // it appears again when the program ends
    QStringList shellArgs { QStringLiteral("-c"),
        QStringLiteral("\"$0\" \"$@\"; printf %s $? > \"$QUILLMARK_SHARE_STATUS.part\"; "
                       "mv \"$QUILLMARK_SHARE_STATUS.part\" \"$QUILLMARK_SHARE_STATUS\""),
        program };
    shellArgs += args;
    QProcess launcher;
    launcher.setProgram(QStringLiteral("/bin/sh"));
    launcher.setArguments(shellArgs);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUILLMARK_SHARE_STATUS"), statusPath);
    launcher.setProcessEnvironment(env);
    if (!launcher.startDetached()) {
        done(-1);
        return;
    }
    auto waited = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [statusPath, waited, poll, done = std::move(done)] {
        QFile file(statusPath);
        if (file.open(QIODevice::ReadOnly)) {
            bool ok = false;
            const int code = file.readAll().trimmed().toInt(&ok);
            file.close();
            QFile::remove(statusPath);
            *poll = nullptr; // breaks the cycle
            done(ok ? code : -1);
            return;
        }
        *waited += kStatusPollMs;
        if (*waited >= kStartedAfterMs) {
            // Still running: it started well. Its status file is left to the temporary folder.
            auto finish = done;
            *poll = nullptr;
            finish(0);
            return;
        }
        QTimer::singleShot(kStatusPollMs, qApp, *poll);
    };
    QTimer::singleShot(kStatusPollMs, qApp, *poll);
}

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

bool portalReachable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    if (bus.interface()->isServiceRegistered(kPortalService))
        return true;
    const QDBusReply<QStringList> activatable
        = bus.interface()->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(kPortalService);
}

// The portal's OpenFile with ask=true: the person picks the application. The answer comes as
// the Response signal of a request object whose path follows from our handle token, so we
// listen there before asking.
class PortalOpenRequest : public QObject {
    Q_OBJECT
public:
    PortalOpenRequest(std::function<void(int)> done)
        : QObject(qApp)
        , m_done(std::move(done))
    {
    }

    void start(const QString& filePath)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        const int fd = ::open(QFile::encodeName(filePath).constData(), O_RDONLY | O_CLOEXEC);
        if (!bus.isConnected() || fd < 0) {
            if (fd >= 0)
                ::close(fd);
            finish(SharingEnvironment::kNoPortal);
            return;
        }
        const QString token
            = QStringLiteral("quillmark") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        QString sender = bus.baseService().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString requestPath
            = kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
        bus.connect(kPortalService, requestPath, QStringLiteral("org.freedesktop.portal.Request"),
            QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
        QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
            QStringLiteral("org.freedesktop.portal.OpenURI"), QStringLiteral("OpenFile"));
        QVariantMap options;
        options.insert(QStringLiteral("ask"), true);
        options.insert(QStringLiteral("handle_token"), token);
        call << QString() << QVariant::fromValue(QDBusUnixFileDescriptor(fd)) << options;
        ::close(fd); // the descriptor object holds its own duplicate
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](auto* w) {
            w->deleteLater();
            if (w->isError())
                finish(SharingEnvironment::kNoPortal);
        });
    }

private slots:
    void onResponse(uint response, const QVariantMap&) { finish(int(response)); }

private:
    void finish(int response)
    {
        if (!m_done)
            return;
        auto done = std::move(m_done);
        m_done = nullptr;
        done(response);
        deleteLater();
    }

    std::function<void(int)> m_done;
};

// A service that calls on the desktop through its environment.
class DesktopService : public SharingService {
public:
    explicit DesktopService(SharingEnvironment env)
        : m_env(std::move(env))
    {
    }

protected:
    SharingEnvironment m_env;
};

class CopyImageService final : public DesktopService {
public:
    using DesktopService::DesktopService;
    QString title() const override { return QStringLiteral("Copy Image"); }

    void performWithItems(const SharingItems& items, ShareCompletion completion) override
    {
        QFile file(items.filePath);
        if (!file.open(QIODevice::ReadOnly)) {
            completion({ false,
                QStringLiteral("The picture could not be copied: %1").arg(file.errorString()) });
            return;
        }
        const QByteArray jpeg = file.readAll();
        QImage image = items.image.isNull() ? QImage::fromData(jpeg, "JPEG") : items.image;
        if (image.isNull()) {
            completion({ false, QStringLiteral("The picture could not be copied.") });
            return;
        }
        // PNG at full size takes a while: encode it off the main thread, then hand both
        // encodings to the clipboard here.
        auto* watcher = new QFutureWatcher<QByteArray>(qApp);
        QObject::connect(watcher, &QFutureWatcher<QByteArray>::finished, qApp,
            [watcher, jpeg, env = m_env, completion = std::move(completion)] {
                const QByteArray png = watcher->result();
                watcher->deleteLater();
                if (png.isEmpty()) {
                    completion({ false, QStringLiteral("The picture could not be copied.") });
                    return;
                }
                auto data = std::make_unique<QMimeData>();
                data->setData(QStringLiteral("image/png"), png);
                data->setData(QStringLiteral("image/jpeg"), jpeg);
                env.setClipboard(data.release());
                completion({ true, {} });
            });
        watcher->setFuture(QtConcurrent::run([image] {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            // Light compression: the clipboard's copy is read once, soon, and locally.
            if (!image.save(&buffer, "PNG", 80))
                return QByteArray();
            return png;
        }));
    }

};

QString programFailure(const QString& what, int exitCode)
{
    if (exitCode < 0)
        return QStringLiteral("%1 could not be started.").arg(what);
    return QStringLiteral("%1 did not succeed (it ended with code %2).").arg(what).arg(exitCode);
}

class EmailService final : public DesktopService {
public:
    using DesktopService::DesktopService;
    QString title() const override { return QStringLiteral("Email…"); }

    void performWithItems(const SharingItems& items, ShareCompletion completion) override
    {
        m_env.runProgram(m_env.findExecutable(QStringLiteral("xdg-email")),
            { QStringLiteral("--attach"), items.filePath },
            [completion = std::move(completion)](int code) {
                if (code == 0)
                    completion({ true, {} });
                else
                    completion({ false, programFailure(QStringLiteral("The e-mail"), code) });
            });
    }

};

class OpenWithService final : public DesktopService {
public:
    using DesktopService::DesktopService;
    QString title() const override { return QStringLiteral("Open With…"); }

    void performWithItems(const SharingItems& items, ShareCompletion completion) override
    {
        auto openWithXdgOpen = [env = m_env, path = items.filePath, completion] {
            const QString program = env.findExecutable(QStringLiteral("xdg-open"));
            if (program.isEmpty()) {
                completion({ false,
                    QStringLiteral("No application chooser is available on this desktop.") });
                return;
            }
            env.runProgram(program, { path }, [completion](int code) {
                if (code == 0)
                    completion({ true, {} });
                else
                    completion(
                        { false, programFailure(QStringLiteral("Opening the picture"), code) });
            });
        };
        if (!m_env.hasPortal()) {
            openWithXdgOpen();
            return;
        }
        m_env.portalOpenFile(items.filePath, [openWithXdgOpen, completion](int response) {
            if (response == SharingEnvironment::kNoPortal)
                openWithXdgOpen();
            else if (response == 0)
                completion({ true, {} });
            else if (response == 1)
                completion({ false, {} }); // the person cancelled the chooser: nothing to say
            else
                completion({ false, QStringLiteral("The picture could not be opened.") });
        });
    }

};

} // namespace

SharingEnvironment SharingEnvironment::system()
{
    SharingEnvironment env;
    env.findExecutable
        = [](const QString& program) { return QStandardPaths::findExecutable(program); };
    env.runProgram = runDetached;
    env.portalOpenFile = [](const QString& filePath, std::function<void(int)> done) {
        (new PortalOpenRequest(std::move(done)))->start(filePath);
    };
    env.hasPortal = portalReachable;
    env.setClipboard = [](QMimeData* data) { QGuiApplication::clipboard()->setMimeData(data); };
    return env;
}

std::vector<std::shared_ptr<SharingService>> sharingServicesForItems(
    const SharingEnvironment& environment)
{
    std::vector<std::shared_ptr<SharingService>> services;
    services.push_back(std::make_shared<CopyImageService>(environment));
    if (!environment.findExecutable(QStringLiteral("xdg-email")).isEmpty())
        services.push_back(std::make_shared<EmailService>(environment));
    if (!environment.findExecutable(QStringLiteral("xdg-open")).isEmpty()
        || environment.hasPortal())
        services.push_back(std::make_shared<OpenWithService>(environment));
    return services;
}

} // namespace platform

#include "SharingService.moc"
