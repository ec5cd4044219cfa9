#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the layer arrows: every #include "..." of our own headers must point down a layer or
# sideways within its own folder, and the layers without widgets must not include Qt Widgets.
# Prints each offence as "file:line: include" and exits 1 if there is any, 0 otherwise.
#
#   vault       -> (QtCore and sqlite3 only)
#   tools       -> vault
#   platform    -> vault                                    (no widgets)
#   resources   -> nothing of ours
#   gui/common  -> platform, tools, vault, resources
#   gui/auth    -> gui/common and below
#   gui/tools   -> gui/auth, gui/common and below (the import asks a source's password)
#   gui/commands, gui/settings, gui/editor -> gui/common and below
#   gui/records -> gui/editor, gui/commands, gui/common and below
#   gui/categories -> gui/records (a dropped record), gui/commands, gui/common and below
#   gui/float   -> gui/editor, gui/commands, gui/common and below
#   gui/lock    -> gui/settings, gui/commands, gui/auth, gui/common and below
#   gui/window  -> gui/* and below
#   cli         -> platform, tools, vault                   (never gui, no widgets)
#   app         -> gui/*, platform and below
#
# tests/, bench/ and fuzz/ are exempt.
set -euo pipefail
cd "$(dirname "$0")/.."

folders=()
for d in vault tools platform resources cli app gui; do
    [ -d "$d" ] && folders+=("$d")
done
[ ${#folders[@]} -eq 0 ] && exit 0

# Every #include line of every C++ source in the checked folders, as "file:line:text".
# grep finds nothing in folders without includes; that is no failure.
{ grep -rnE --include='*.cpp' --include='*.h' --include='*.hpp' --include='*.cc' \
    '^[[:space:]]*#[[:space:]]*include' "${folders[@]}" || true; } |
awk '
# Qt Widgets class headers (Qt 6). QAction, QShortcut, QFileSystemModel and QUndoStack moved to
# QtGui in Qt 6 and are therefore not listed; <QtWidgets/...> and <QtWidgets> are caught apart.
BEGIN {
    n = split("QAbstractButton QAbstractItemDelegate QAbstractItemView QAbstractScrollArea " \
              "QAbstractSlider QAbstractSpinBox QApplication QBoxLayout QButtonGroup " \
              "QCalendarWidget QCheckBox QColorDialog QColumnView QComboBox QCommandLinkButton " \
              "QCommonStyle QCompleter QDataWidgetMapper QDateEdit QDateTimeEdit QDesktopWidget " \
              "QDial QDialog QDialogButtonBox QDockWidget QDoubleSpinBox QErrorMessage " \
              "QFileDialog QFileIconProvider QFocusFrame QFontComboBox QFontDialog QFormLayout " \
              "QFrame QGesture QGestureEvent QGraphicsItem QGraphicsProxyWidget QGraphicsScene " \
              "QGraphicsView QGraphicsWidget QGridLayout QGroupBox QHBoxLayout QHeaderView " \
              "QInputDialog QItemDelegate QKeySequenceEdit QLabel QLayout QLayoutItem " \
              "QLCDNumber QLineEdit QListView QListWidget QListWidgetItem QMainWindow QMdiArea " \
              "QMdiSubWindow QMenu QMenuBar QMessageBox QPlainTextEdit QProgressBar " \
              "QProgressDialog QProxyStyle QPushButton QRadioButton QRubberBand QScrollArea " \
              "QScrollBar QScroller QShortcutEvent QSizeGrip QSizePolicy QSlider QSpacerItem " \
              "QSpinBox QSplashScreen QSplitter QSplitterHandle QStackedLayout QStackedWidget " \
              "QStatusBar QStyle QStyleFactory QStyleOption QStylePainter QStyledItemDelegate " \
              "QSystemTrayIcon QTabBar QTabWidget QTableView QTableWidget QTableWidgetItem " \
              "QTextBrowser QTextEdit QTimeEdit QToolBar QToolBox QToolButton QToolTip " \
              "QTreeView QTreeWidget QTreeWidgetItem QTreeWidgetItemIterator QUndoView " \
              "QVBoxLayout QWhatsThis QWidget QWidgetAction QWizard QWizardPage", names, " ")
    # Also their lower-case file names (<qwidget.h>).
    for (i = 1; i <= n; i++) { widgets[names[i]] = 1; widgets[tolower(names[i]) ".h"] = 1 }

    # Which of our layers each layer may include, besides its own folder.
    allowed["vault"] = ""
    allowed["tools"] = "vault"
    allowed["platform"] = "vault"
    allowed["resources"] = ""
    allowed["gui/common"] = "platform tools vault resources"
    allowed["gui/auth"] = "gui/common platform tools vault resources"
    allowed["gui/tools"] = "gui/auth gui/common platform tools vault resources"
    below_gui = "gui/common platform tools vault resources"
    allowed["gui/commands"] = below_gui
    allowed["gui/settings"] = below_gui
    allowed["gui/editor"] = below_gui
    allowed["gui/records"] = "gui/editor gui/commands " below_gui
    allowed["gui/categories"] = "gui/records gui/commands " below_gui
    allowed["gui/float"] = "gui/editor gui/commands " below_gui
    allowed["gui/lock"] = "gui/settings gui/commands gui/auth " below_gui
    every_gui = "gui/auth gui/tools gui/commands gui/settings gui/editor gui/records " \
                "gui/categories gui/float gui/lock"
    allowed["gui/window"] = every_gui " " below_gui
    allowed["cli"] = "platform tools vault"
    allowed["app"] = "gui/window " every_gui " " below_gui
    no_widgets["vault"] = no_widgets["tools"] = no_widgets["platform"] = no_widgets["cli"] = 1
    bad = 0
}

# The layer of a path in the new layout; "" for a path that is none of ours.
function new_layer(p) {
    if (p ~ /^gui\/(common|auth|tools|commands|settings|editor|records|categories|float|lock|window)\//) {
        split(p, parts, "/")
        return "gui/" parts[2]
    }
    if (p ~ /^gui\//) return "gui/?"
    if (p ~ /^(vault|tools|platform|resources|cli|app)\//) { split(p, parts, "/"); return parts[1] }
    return ""
}

# Resolves "./" and "../" against the including file folder.
function normalize(path, dir,    n, i, out, seg, k) {
    if (path !~ /^\.\.?\//) return path
    n = split(dir "/" path, seg, "/")
    k = 0
    for (i = 1; i <= n; i++) {
        if (seg[i] == "" || seg[i] == ".") continue
        if (seg[i] == "..") { if (k > 0) k--; continue }
        out[++k] = seg[i]
    }
    path = ""
    for (i = 1; i <= k; i++) path = path (i > 1 ? "/" : "") out[i]
    return path
}

function report(file, line, text) {
    sub(/^[[:space:]]+/, "", text)
    printf "%s:%s: %s\n", file, line, text
    bad = 1
}

{
    # grep prints file:line:text; the file and line hold no colon.
    file = $0; sub(/:.*/, "", file)
    rest = substr($0, length(file) + 2)
    line = rest; sub(/:.*/, "", line)
    text = substr(rest, length(line) + 2)

    from = new_layer(file)
    if (from == "" || from == "gui/?") next

    if (match(text, /<[^>]+>/)) {
        header = substr(text, RSTART + 1, RLENGTH - 2)
        if (!(from in no_widgets)) next
        # <QtGui/QWidget> names the class with the wrong module; it is still a widget.
        name = header; sub(/^Qt[A-Za-z]+\//, "", name)
        if (header ~ /^QtWidgets(\/|$)/ || (name in widgets)) {
            report(file, line, text)
        }
        next
    }
    if (!match(text, /"[^"]+"/)) next
    path = substr(text, RSTART + 1, RLENGTH - 2)
    dir = file; sub(/\/[^\/]*$/, "", dir)
    path = normalize(path, dir)
    # A bare name ("ui_login_dialog.h", made by uic from the .ui beside the dialog) is local.
    if (path !~ /\//) next

    to = new_layer(path)
    if (to == "") next          # not one of our headers
    if (to == from) next        # sideways within its own folder

    ok = 0
    m = split(allowed[from], list, " ")
    for (i = 1; i <= m; i++) if (list[i] == to) ok = 1
    if (!ok) report(file, line, text)
}

END { exit bad }
'
