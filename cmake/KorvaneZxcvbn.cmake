# SPDX-License-Identifier: GPL-3.0-or-later
# zxcvbn, the password strength estimator (Debian's libzxcvbn-dev), as the target Zxcvbn::Zxcvbn.
# Shared by the main build and the fuzz project, which both compile tools/.
if(NOT TARGET Zxcvbn::Zxcvbn)
  find_path(ZXCVBN_INCLUDE_DIR zxcvbn.h)
  find_library(ZXCVBN_LIBRARY zxcvbn)
  if(NOT ZXCVBN_INCLUDE_DIR OR NOT ZXCVBN_LIBRARY)
    message(FATAL_ERROR "zxcvbn not found (zxcvbn.h and libzxcvbn): install libzxcvbn-dev, "
                        "for instance with scripts/deps.sh")
  endif()
  add_library(Zxcvbn::Zxcvbn UNKNOWN IMPORTED)
  set_target_properties(Zxcvbn::Zxcvbn PROPERTIES
    IMPORTED_LOCATION ${ZXCVBN_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${ZXCVBN_INCLUDE_DIR})
endif()
