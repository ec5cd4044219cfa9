// SPDX-License-Identifier: GPL-3.0-or-later
// StyleSettings: the stored number of the chosen look, the program's one lasting window setting.
#pragma once

namespace korvane {

class StyleSettings {
public:
    // Where earlier installations keep it, so the choice carries over between them.
    static constexpr char kOrganisation[] = "Local AppWizard-Generated Applications";
    static constexpr char kApplication[] = "Pellorin";
    static constexpr char kKey[] = "Settings/bXPMode";
    // What a first start, or a value that cannot be read, shows: Office XP.
    static constexpr int kFallback = 1;

    // The stored number as it is, even one that names no look; kFallback when it is missing
    // or is not a 32-bit number.
    static int read();
    // Stores mode; a failure to write is ignored, as nothing could be done about it at exit.
    static void write(int mode);
};

}  // namespace korvane
