// SPDX-License-Identifier: GPL-3.0-or-later
// Overwriting secrets (master passwords, deciphered buffers) before their memory is given back,
// in a way the optimiser may not drop as a dead store.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <string>
#include <vector>

namespace korvane {

void secure_wipe(void* data, std::size_t size);

// Wipes the whole capacity, not only the size: a shrunk string keeps its old bytes behind it.
void secure_wipe(std::string& text);
void secure_wipe(std::vector<char>& bytes);
void secure_wipe(QByteArray& bytes);
void secure_wipe(QString& text);

// Wipes a string when it goes out of scope, however the scope is left.
class WipeOnExit {
public:
    explicit WipeOnExit(std::string& text) : text_(text) {}
    ~WipeOnExit() { secure_wipe(text_); }
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;

private:
    std::string& text_;
};

}  // namespace korvane
