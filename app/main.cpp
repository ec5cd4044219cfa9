// Entry point of the korvane program.
#include <QApplication>

#include "ui/cvell_app.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    korvane::CVellApp vell(app);
    return vell.run();
}
