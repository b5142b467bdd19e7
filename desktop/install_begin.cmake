# First step of every install of this build tree (included from the install script with
# SUITE_BUILD_DIR and SUITE_DATADIR set): notes which folders the install is about to create,
# so that the uninstall removes those and no folder that was there before, even an empty one.
# The folders are those on the way from the prefix to each destination of the install rules,
# read from the generated install scripts, so rules added anywhere in the tree are covered.

set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "/+$" "" root "${root}")
set(record "${SUITE_BUILD_DIR}/install_record.cmake")

file(GLOB_RECURSE scripts "${SUITE_BUILD_DIR}/cmake_install.cmake")
set(destinations "")
foreach(script IN LISTS scripts)
  file(STRINGS "${script}" lines REGEX "DESTINATION \"[^\"]+\"")
  foreach(line IN LISTS lines)
    string(REGEX MATCHALL "DESTINATION \"[^\"]+\"" found "${line}")
    foreach(match IN LISTS found)
      string(REGEX REPLACE "^DESTINATION \"(.*)\"$" "\\1" dest "${match}")
      string(REPLACE "\${CMAKE_INSTALL_PREFIX}" "${CMAKE_INSTALL_PREFIX}" dest "${dest}")
      list(APPEND destinations "$ENV{DESTDIR}${dest}")
    endforeach()
  endforeach()
endforeach()
list(REMOVE_DUPLICATES destinations)

# A second install over the first keeps the first one's folders as its own.
set(created "")
if(EXISTS "${record}")
  include("${record}")
  if(SUITE_INSTALL_ROOT STREQUAL root)
    set(created ${SUITE_INSTALL_CREATED})
  endif()
endif()
string(LENGTH "${root}/" root_length)
foreach(dir IN LISTS destinations)
  string(REGEX REPLACE "/+$" "" dir "${dir}")
  # Only folders strictly inside the prefix: the prefix itself and anything above it belong to
  # whoever chose it.
  while(NOT EXISTS "${dir}")
    string(SUBSTRING "${dir}" 0 ${root_length} head)
    if(NOT head STREQUAL "${root}/")
      break()
    endif()
    list(APPEND created "${dir}")
    get_filename_component(dir "${dir}" DIRECTORY)
  endwhile()
endforeach()
list(REMOVE_DUPLICATES created)

if(IS_ABSOLUTE "${SUITE_DATADIR}")
  set(datadir "$ENV{DESTDIR}${SUITE_DATADIR}")
else()
  set(datadir "${root}/${SUITE_DATADIR}")
endif()
file(WRITE "${record}"
  "# Written by the last install of this build tree; read by `make uninstall`.\n"
  "set(SUITE_INSTALL_DESTDIR \"$ENV{DESTDIR}\")\n"
  "set(SUITE_INSTALL_ROOT \"${root}\")\n"
  "set(SUITE_INSTALL_DATADIR \"${datadir}\")\n"
  "set(SUITE_INSTALL_CREATED \"${created}\")\n"
  "set(SUITE_INSTALL_CACHES \"\")\n")
