#include <QApplication>
#include <QCommandLineParser>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Ostrel");
    QApplication::setOrganizationName("Quillmoth");
    QApplication::setOrganizationDomain("quillmoth.org");

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument("file", "A document or a file to import.");
    QCommandLineOption quitOption("quit-after-launch",
                                  "Finish launching, then quit (used by the tests).");
    parser.addOption(quitOption);
    parser.process(app);

    QMainWindow window;
    window.setWindowTitle("Ostrel");
    window.resize(1024, 700);
    window.show();

    if (parser.isSet(quitOption))
        QTimer::singleShot(0, &app, &QApplication::quit);
    return app.exec();
}
