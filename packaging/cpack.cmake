# The Debian package, included by the top-level CMakeLists.txt after the install()
# rules, whose files it packs:
#
#   cd build/release && cpack -G DEB                   cutspot_<version>_<arch>.deb
#
# The package gets the man pages gzipped and a copyright file, both added by
# packaging/deb-tidy.cmake in the staging directory; a plain install stays as it is.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cutspot)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "cutspot developers")
set(CPACK_PACKAGE_CONTACT "cutspot developers <cutspot@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "cutspot developers <cutspot@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The extended description; CPack puts the summary line above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "cutspot reads the event file (.evt) that comes with a TV recording, finds the
spans where the picture is dark and the sound quiet, and prints a cut list of
candidate cut points for cutting or archiving scripts. It can also draw the
levels as a text graph or an SVG picture, and write the marks as JSON, as an
edit decision list of scene markers for Kodi, or as chapters for ffmpeg and mpv.")
if(TARGET cutspot-probe)
  string(APPEND CPACK_DEBIAN_PACKAGE_DESCRIPTION "
.
cutspot-probe decodes a recording with FFmpeg's libraries and writes its
event file, for recordings that came without one.")
endif()
find_program(CUTSPOT_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(CUTSPOT_DPKG_SHLIBDEPS)
if(CUTSPOT_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/deb-tidy.cmake)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/[.]git/" "/build/" "/out/")
include(CPack)
