// Entry point of the korvane program.
#include "platform/process_hardening.h"
#include "ui/base/guarded_application.h"
#include "ui/cvell_app.h"

int main(int argc, char* argv[]) {
    // Before the vault is opened: a crash must not write it into a core file.
    korvane::platform::harden_process();
    korvane::GuardedApplication app(argc, argv);
    korvane::CVellApp vell(app);
    try {
        return vell.run();
    } catch (...) {
        // Exceptions inside the event loop are caught by the application object; one thrown
        // outside it (start-up, shutdown) must not leave the vault deciphered either.
        return vell.end_with_failure(korvane::describe_current_exception());
    }
}
