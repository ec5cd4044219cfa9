# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: what goes into /usr/share/doc/korvane, and CPack's DEB settings.
# scripts/package.sh configures with CMAKE_INSTALL_PREFIX=/usr and runs `cpack -G DEB`.

# Debian wants directories 0755 whatever the umask of whoever builds the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(korvane_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(korvane_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/korvane)

# The changelog's newest entry names the version the package is built as; a release that moves
# project(VERSION) without a changelog entry would ship a package whose changelog contradicts it.
file(STRINGS ${korvane_packaging_dir}/changelog korvane_changelog_top LIMIT_COUNT 1)
if(NOT korvane_changelog_top MATCHES "^korvane \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog starts with '${korvane_changelog_top}', "
                      "not an entry for version ${PROJECT_VERSION}")
endif()

# A native package's changelog is changelog.gz; -n leaves the time out of the gzip header, so
# the same sources give the same package.
set(korvane_changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${korvane_changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
  COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" gzip ${korvane_packaging_dir}/changelog
          ${korvane_changelog_gz}
  DEPENDS ${korvane_packaging_dir}/changelog
  VERBATIM)
add_custom_target(korvane_changelog ALL DEPENDS ${korvane_changelog_gz})

install(FILES ${korvane_packaging_dir}/copyright ${korvane_changelog_gz}
        DESTINATION ${korvane_doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Korvane Developers")
set(CPACK_PACKAGE_CONTACT "Korvane Developers <korvane-dev@lists.korvane.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/korvane/korvane")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

# One Description field for both languages: Debian has no per-language Description in a binary
# package, so the long description carries an English and a Chinese paragraph.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop password vault / 桌面密码库")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Korvane keeps account passwords in one file, enciphered under a master
password, with a Simplified Chinese window program (korvane) and a
command-line front end (korvane-cli) on the same vault. It searches every
category as you type, clears a copied password from the clipboard after a
few seconds and locks itself when idle or when the screen locks.

Korvane 把账号和密码保存在一个用主密码加密的文件中，
提供简体中文的窗口程序（korvane）和操作同一个密码库的
命令行程序（korvane-cli）。它边输入边在所有类别中查找，
复制的密码几秒后自动从剪贴板清除，
无操作或屏幕锁定时自动锁定。")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Added to what dpkg-shlibdeps finds: the window's icons are SVG, drawn by Qt's SVG image and
# icon-engine plugins, which Qt loads at run time, so no binary links the library that holds them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
