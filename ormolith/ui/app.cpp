#include "app.h"

#include "batch.h"

#include "icons.h"
#include "main_frame.h"
#include "suite_version.h"

#include <QApplication>
#include <clocale>
#include <string>
#include <vector>

namespace ormolith {

int runApplication(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The document files write numbers with a decimal point whatever the user's language.
    std::setlocale(LC_NUMERIC, "C");
    QCoreApplication::setOrganizationName(kSettingsCompany);
    QCoreApplication::setApplicationName(kSettingsProgram);
    QCoreApplication::setApplicationVersion(SUITE_VERSION);
    QApplication::setWindowIcon(appIcon());

    // What Qt leaves are the documents to open ("--" only ends the options).
    std::vector<std::string> args;
    for (const QString& a : app.arguments().mid(1))
        args.push_back(a.toStdString());
    QStringList files;
    for (const std::string& f : windowFileArguments(args))
        files << QString::fromStdString(f);
    CMainFrame main;
    main.show();
    if (!main.startUp(files))
        return 1;
    return app.exec();
}

} // namespace ormolith
