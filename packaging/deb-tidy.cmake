# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) after it has installed the files into its
# staging directory and before it builds the package. For the Debian package it gzips
# the man page, as Debian packages ship them, and adds the copyright file that every
# Debian package carries. Other generators are left alone.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

# The staging directory holds the files under the packaging prefix (/usr).
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/${CPACK_PACKAGING_INSTALL_PREFIX}")
cmake_path(NORMAL_PATH root)

find_program(GZIP gzip REQUIRED)
file(GLOB_RECURSE man_pages "${root}/share/man/*.[1-9]")
foreach(page IN LISTS man_pages)
  # -n leaves the name and time out of the gzip header, so the package is reproducible.
  execute_process(COMMAND "${GZIP}" -9nf "${page}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${page} failed: ${status}")
  endif()
endforeach()

# /usr/share/doc/<package>/copyright in Debian's machine-readable format.
file(READ "${CPACK_RESOURCE_FILE_LICENSE}" license)
string(REGEX REPLACE "^MIT License\n\n[^\n]*\n\n" "" license "${license}")  # Title, notice.
string(REGEX REPLACE "\n+$" "" license "${license}")
string(REPLACE "\n\n" "\n.\n" license "${license}")  # Blank lines become " .".
string(REPLACE "\n" "\n " license "${license}")
file(WRITE "${root}/share/doc/${CPACK_PACKAGE_NAME}/copyright"
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${CPACK_PACKAGE_NAME}
Upstream-Contact: ${CPACK_DEBIAN_PACKAGE_MAINTAINER}

Files: *
Copyright: 2026 cutspot developers
License: Expat
 ${license}
")
