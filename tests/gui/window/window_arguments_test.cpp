// SPDX-License-Identifier: GPL-3.0-or-later
// korvane's command line: the vault folder, --help and --version, and the manual page that
// describes them.
#include "gui/window/window_arguments.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <ostream>

#include "support/manual_page.h"
#include "vault/default_vault_dir.h"

namespace korvane {
namespace {

using Request = WindowArguments::Request;

struct ArgumentsRow {
    QStringList words;  // after the program's name
    Request request;
    std::optional<QString> vault_dir;
};

void PrintTo(const ArgumentsRow& row, std::ostream* out) {
    // One word in ctest's list of names, which ends a name at a space.
    *out << (row.words.isEmpty() ? std::string("none") : row.words.join(',').toStdString());
}

class WindowArgumentsTest : public ::testing::TestWithParam<ArgumentsRow> {};

TEST_P(WindowArgumentsTest, ReadsTheCommandLine) {
    const ArgumentsRow& row = GetParam();
    const WindowArguments parsed = parse_window_arguments(QStringList{"korvane"} + row.words);
    EXPECT_EQ(parsed.request, row.request) << row.words.join(' ').toStdString();
    EXPECT_EQ(parsed.vault_dir, row.vault_dir) << row.words.join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WindowArgumentsTest,
    ::testing::Values(
        ArgumentsRow{{}, Request::Run, std::nullopt},
        ArgumentsRow{{"--vault-dir", "/some/where"}, Request::Run, "/some/where"},
        ArgumentsRow{{"--vault-dir=/else"}, Request::Run, "/else"},
        // Qt's own options pass through untouched, with the ones korvane answers among them.
        ArgumentsRow{{"-platform", "offscreen", "--vault-dir", "/v"}, Request::Run, "/v"},
        ArgumentsRow{{"-style", "fusion", "--version"}, Request::Version, std::nullopt},
        ArgumentsRow{{"--help"}, Request::Help, std::nullopt},
        ArgumentsRow{{"-h", "--version"}, Request::Help, std::nullopt},
        ArgumentsRow{{"--version", "--help"}, Request::Version, std::nullopt},
        // The folder is the next word whatever it looks like, as korvane-cli reads it.
        ArgumentsRow{{"--vault-dir", "--version"}, Request::Run, "--version"},
        ArgumentsRow{{"--vault-dir"}, Request::Run, std::nullopt},
        ArgumentsRow{{"--versions", "--vault-dirs", "/x"}, Request::Run, std::nullopt}));

TEST(WindowArguments, DefaultFolderWithoutTheOption) {
    EXPECT_EQ(vault_dir_from_arguments({"korvane", "-platform", "offscreen"}), default_vault_dir());
    EXPECT_EQ(vault_dir_from_arguments({"korvane", "--vault-dir", "/some/where"}), "/some/where");
}

TEST(WindowArguments, HelpAndManualNameEveryOption) {
    const test_support::ManualPage manual(QStringLiteral(KORVANE_WINDOW_MANUAL));
    ASSERT_FALSE(manual.empty()) << KORVANE_WINDOW_MANUAL;
    QStringList options;
    for (const WindowOption& option : window_options()) {
        options.append(option.name);
        EXPECT_TRUE(window_help().contains(" " + option.name + " ")) << option.name.toStdString();
        // An option the parser does not answer would be printed in the help and then ignored.
        const WindowArguments parsed = parse_window_arguments({"korvane", option.name, "/v"});
        EXPECT_TRUE(parsed.request != Request::Run || parsed.vault_dir == "/v")
            << option.name.toStdString();
    }
    const std::string expected = test_support::sorted_names(options).toStdString();
    EXPECT_EQ(test_support::long_options(manual.section("OPTIONS")).join(' ').toStdString(),
              expected);
    EXPECT_EQ(test_support::long_options(manual.section("SYNOPSIS")).join(' ').toStdString(),
              expected);
    EXPECT_TRUE(QRegularExpression("^korvane [0-9]+\\.[0-9]+(\\.[0-9]+)*\n$")
                    .match(window_version())
                    .hasMatch())
        << window_version().toStdString();
}

}  // namespace
}  // namespace korvane
