// vandrix-cli: the diagnosis from a shell, over the same libraries as the
// window and without any of its widgets.
#include "cli/interrupt.h"
#include "cli/output.h"
#include "cli/runner.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    Interrupt::install();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vandrix-cli"));
    CliOutput out;
    return RunCli(QCoreApplication::arguments(), QCoreApplication::applicationDirPath(), out);
}
