// SPDX-License-Identifier: GPL-3.0-or-later
// The handlers of korvane-cli's commands, one file each under cli/commands/.
#pragma once

namespace korvane::cli {

class CommandContext;

namespace commands {

int init(CommandContext& context);
int list(CommandContext& context);
int find(CommandContext& context);
int categories(CommandContext& context);
int show(CommandContext& context);
int add(CommandContext& context);
int edit(CommandContext& context);
int remove(CommandContext& context);
int move(CommandContext& context);
int clip(CommandContext& context);
int export_csv(CommandContext& context);
int backup(CommandContext& context);
int import(CommandContext& context);
int sync(CommandContext& context);
int passwd(CommandContext& context);
int encrypt_file(CommandContext& context);
int decrypt_file(CommandContext& context);
int generate(CommandContext& context);

}  // namespace commands
}  // namespace korvane::cli
