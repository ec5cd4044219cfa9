// SPDX-License-Identifier: GPL-3.0-or-later
// record_tooltip: the text a record list item shows when the pointer rests on it.
#pragma once

#include <QString>

#include "vault/vault_record.h"

namespace korvane {

// The title, account and remark on labelled lines (标题：, 账号：, 备注：), the remark only when
// there is one. The summary holds no password, so none can reach the tooltip.
QString record_tooltip(const RecordSummary& record);

}  // namespace korvane
