// SPDX-License-Identifier: GPL-3.0-or-later
// The lock keys' lights; on X11 the state comes from the keyboard extension.
#include "platform/lock_keys.h"

#include <QGuiApplication>

#ifdef KORVANE_HAVE_X11
#include <QtGui/qguiapplication_platform.h>
#include <X11/XKBlib.h>
#endif

namespace korvane {

std::optional<LockKeyState> read_lock_keys() {
#ifdef KORVANE_HAVE_X11
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        Display* display = x11 ? x11->display() : nullptr;
        unsigned int lights = 0;
        if (display && XkbGetIndicatorState(display, XkbUseCoreKbd, &lights) == Success) {
            // Indicator bits of the core keyboard: Caps Lock 0, Num Lock 1, Scroll Lock 2.
            return LockKeyState{(lights & 1u) != 0, (lights & 2u) != 0, (lights & 4u) != 0};
        }
    }
#endif
    return std::nullopt;
}

}  // namespace korvane
