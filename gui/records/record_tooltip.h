// SPDX-License-Identifier: GPL-3.0-or-later
// record_tooltip: the text a record list item shows when the pointer rests on it.
#pragma once

#include <QString>
#include <string_view>

namespace korvane {

// The title, account and remark on labelled lines (标题：, 账号：, 备注：), the remark only when
// there is one. The summary holds no password, so none can reach the tooltip.
// The texts are the vault's GBK bytes.
QString record_tooltip(std::string_view title, std::string_view account, std::string_view remark);

}  // namespace korvane
