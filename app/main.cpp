// Entry point of the korvane program.
#include "gui/common/guarded_application.h"
#include "gui/window/korvane_application.h"
#include "platform/process_hardening.h"

int main(int argc, char* argv[]) {
    // Before the vault is opened: a crash must not write it into a core file.
    korvane::platform::harden_process();
    korvane::GuardedApplication app(argc, argv);
    korvane::KorvaneApplication program(app);
    try {
        return program.run();
    } catch (...) {
        // Exceptions inside the event loop are caught by the application object; one thrown
        // outside it (start-up, shutdown) must not leave the vault deciphered either.
        return program.end_with_failure(korvane::describe_current_exception());
    }
}
