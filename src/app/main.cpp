// The desktop program: kalvex [SYSTEM.asp]
#include "app/uMain.h"
#include "app/uMessages.h"
#include "geometry/uBinaryIO.h"
#include "settings/uSettings.h"
#include "solver/uBlasThreads.h"

#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTimer>
#include <QTranslator>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Qt ends the program without a word when no display can be reached; say it in one
// line instead.
bool DisplayMissing() {
    const QByteArray Platform = qgetenv("QT_QPA_PLATFORM");
    const bool NeedsServer =
        Platform.isEmpty() || Platform.startsWith("xcb") || Platform.startsWith("wayland");
    return NeedsServer && qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Set while Qt connects to the display. A fatal message then means that the display
// named cannot be reached: Qt would abort with advice to reinstall; one plain line and
// an ordinary failure say it better. Qt's own warnings before it still go out.
bool Connecting = false;
QtMessageHandler QtHandler = nullptr;

void OnQtMessage(QtMsgType Type, const QMessageLogContext& Context, const QString& Text) {
    if (Type == QtFatalMsg && Connecting) {
        const QByteArray Wayland = qgetenv("WAYLAND_DISPLAY");
        const QByteArray Display = Wayland.isEmpty() ? qgetenv("DISPLAY") : Wayland;
        std::fprintf(stderr, "kalvex: не удалось подключиться к графическому дисплею %s\n",
                     Display.constData());
        std::_Exit(1);
    }
    if (QtHandler)
        QtHandler(Type, Context, Text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(Type, Context, Text)));
}

} // namespace

int main(int argc, char* argv[]) {
    kalvex::QuietBlasThreadsAtStart();
    if (DisplayMissing()) {
        std::fputs("kalvex: нет графического дисплея (не задана переменная DISPLAY)\n", stderr);
        return 1;
    }
    QtHandler = qInstallMessageHandler(OnQtMessage);
    Connecting = true;
    QApplication App(argc, argv);
    Connecting = false;
    // The title names the program in its boxes; set as the name, so that Qt does not
    // add it to the window caption as well.
    QApplication::setApplicationName(QString::fromUtf8("Расчет систем аспирации"));
    QApplication::setApplicationVersion(QStringLiteral("2.0"));
    QApplication::setDesktopFileName(QStringLiteral("kalvex"));

    // Standard buttons and file dialogs in Russian, when Qt's translations are there.
    QTranslator QtRu;
    if (QtRu.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&QtRu);

    kalvex::TQtMessages Msg;
    kalvex::TfrmMain Main(
        Msg, kalvex::SettingsFilePath(QApplication::applicationDirPath().toStdString()));
    Msg.SetParent(&Main);
    Main.ShowBesideToolWindows();

    const QStringList Args = QApplication::arguments();
    if (Args.size() > 1)
        Main.OpenSystem(Args.at(1));

    // scripts/screenshot: a picture of the whole screen once the window is drawn, or,
    // with KALVEX_SCREENSHOT_READY, once that file exists (a driver has set the scene).
    const QString Shot = qEnvironmentVariable("KALVEX_SCREENSHOT");
    const QString Ready = qEnvironmentVariable("KALVEX_SCREENSHOT_READY");
    if (!Shot.isEmpty()) {
        auto* Poll = new QTimer(&Main);
        QObject::connect(Poll, &QTimer::timeout, &Main, [Shot, Ready] {
            if (!Ready.isEmpty() && !QFileInfo::exists(Ready))
                return;
            QScreen* S = QGuiApplication::primaryScreen();
            QByteArray Png;
            QBuffer Buffer(&Png);
            bool Ok = S != nullptr && Buffer.open(QIODevice::WriteOnly) &&
                      S->grabWindow(0).save(&Buffer, "PNG");
            try {
                if (Ok)
                    kalvex::WriteFileAtomic(
                        Shot.toStdString(),
                        std::span(reinterpret_cast<const std::uint8_t*>(Png.constData()),
                                  static_cast<std::size_t>(Png.size())));
            } catch (const kalvex::TKalvexError& E) {
                std::fprintf(stderr, "kalvex: %s\n", E.what());
                Ok = false;
            }
            QCoreApplication::exit(Ok ? 0 : 1);
        });
        Poll->start(1500);
    }
    // bench/stall.sh: every gap of more than 50 ms between the ticks of a 10 ms timer,
    // on stderr, to measure how long the window goes without handling its events.
    if (qEnvironmentVariableIsSet("KALVEX_STALL_LOG")) {
        auto* Tick = new QTimer(&Main);
        auto Last = std::make_shared<std::chrono::steady_clock::time_point>(
            std::chrono::steady_clock::now());
        QObject::connect(Tick, &QTimer::timeout, &Main, [Last] {
            const auto Now = std::chrono::steady_clock::now();
            const auto Gap =
                std::chrono::duration_cast<std::chrono::milliseconds>(Now - *Last).count();
            *Last = Now;
            if (Gap > 50) {
                const auto Wall = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::system_clock::now().time_since_epoch())
                                      .count();
                std::fprintf(stderr, "stall %lld %lld\n", static_cast<long long>(Wall),
                             static_cast<long long>(Gap));
                std::fflush(stderr);
            }
        });
        Tick->start(10);
    }
    return QApplication::exec();
}
