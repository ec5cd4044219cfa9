// SPDX-License-Identifier: GPL-3.0-or-later
// The cause of a failed write in the user's words. A full disk is the one failure a user can
// act on, so it is named plainly instead of with the system's English (or no) text.
#pragma once

#include <QString>

namespace korvane {

// error_number is errno as left by the failed call; fallback is the library's own text.
QString write_failure_reason(int error_number, const QString& fallback);

// True for the errors that mean no more room: a full disk, a quota, a file-size limit.
bool is_out_of_room(int error_number);

}  // namespace korvane
