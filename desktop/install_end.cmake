# Last step of every install of this build tree (SUITE_BUILD_DIR set): a desktop finds new
# file types and launchers only through its caches, so an install straight into its prefix
# refreshes them. A staged install (DESTDIR, a distribution package) leaves that to the
# package manager's triggers. The uninstall reads which caches were refreshed here.

set(record "${SUITE_BUILD_DIR}/install_record.cmake")
if(NOT "$ENV{DESTDIR}" STREQUAL "" OR NOT EXISTS "${record}")
  return()
endif()
include("${record}")

set(caches "")
find_program(SUITE_UPDATE_MIME update-mime-database)
if(SUITE_UPDATE_MIME AND EXISTS "${SUITE_INSTALL_DATADIR}/mime/packages/fractal-suite.xml")
  execute_process(COMMAND "${SUITE_UPDATE_MIME}" "${SUITE_INSTALL_DATADIR}/mime"
                  RESULT_VARIABLE failed OUTPUT_QUIET)
  if(failed)
    message(WARNING "update-mime-database ${SUITE_INSTALL_DATADIR}/mime failed")
  else()
    list(APPEND caches mime)
  endif()
endif()
find_program(SUITE_UPDATE_DESKTOP update-desktop-database)
file(GLOB entries "${SUITE_INSTALL_DATADIR}/applications/*.desktop")
if(SUITE_UPDATE_DESKTOP AND entries)
  execute_process(COMMAND "${SUITE_UPDATE_DESKTOP}" "${SUITE_INSTALL_DATADIR}/applications"
                  RESULT_VARIABLE failed OUTPUT_QUIET)
  if(failed)
    message(WARNING "update-desktop-database ${SUITE_INSTALL_DATADIR}/applications failed")
  else()
    list(APPEND caches applications)
  endif()
endif()
# A theme whose cache exists ignores icons the cache does not list: refresh it, but never make
# one where there was none.
find_program(SUITE_UPDATE_ICONS gtk-update-icon-cache)
if(SUITE_UPDATE_ICONS AND EXISTS "${SUITE_INSTALL_DATADIR}/icons/hicolor/icon-theme.cache")
  execute_process(COMMAND "${SUITE_UPDATE_ICONS}" -q -t -f "${SUITE_INSTALL_DATADIR}/icons/hicolor"
                  RESULT_VARIABLE failed OUTPUT_QUIET)
  if(NOT failed)
    list(APPEND caches icons)
  endif()
endif()
file(APPEND "${record}" "set(SUITE_INSTALL_CACHES \"${caches}\")\n")
