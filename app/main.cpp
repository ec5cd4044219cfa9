// Entry point of the korvane program.
#include <QApplication>

#include "platform/process_hardening.h"
#include "ui/cvell_app.h"

int main(int argc, char* argv[]) {
    // Before the vault is opened: a crash must not write it into a core file.
    korvane::platform::harden_process();
    QApplication app(argc, argv);
    korvane::CVellApp vell(app);
    return vell.run();
}
