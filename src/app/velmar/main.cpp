// The desktop program: forms the base directory, seeds it on first start and opens the main window.

#include <clocale>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

#include "common/ProgramContext.hpp"

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Machine text never follows the user's locale; Qt has just set it from the environment.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("Velmar");
    QApplication::setApplicationDisplayName("Velmar");

    namespace vc = velmar::common;
    const std::filesystem::path exeDir = QCoreApplication::applicationDirPath().toStdString();
    const std::vector<std::string> args = Arguments(argc, argv);
    vc::ProgramContext ctx;
    try {
        const vc::BaseDirectoryChoice base = vc::ChooseBaseDirectory(args, exeDir);
        vc::SeedBaseDirectory(base.baseDir, vc::ResourceDirectory(exeDir));
        ctx = vc::ProgramContext::Open(base.baseDir);
        ctx.calibrationMode = vc::IsCalibrationArgument(args);
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Velmar", QString::fromStdString(e.what()));
        return 1;
    }

    QMainWindow window;
    window.setWindowTitle(QString::fromStdString(ctx.ArchiveName()));
    window.setMinimumSize(924, 400);
    auto* label = new QLabel(QString::fromStdString(ctx.ArchivePath().string()));
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.statusBar()->showMessage(QString::fromStdString(ctx.baseDir.string()));
    window.resize(1200, 800);
    window.show();
    return QApplication::exec();
}
