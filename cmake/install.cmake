# SPDX-License-Identifier: GPL-3.0-or-later
# Where an install puts things (cmake --install, and the Debian package built
# from the same rules by scripts/package.sh):
#   bin/                      quavrix, quavrix-cli
#   share/quavrix/            the shipped start-up settings, the key list and
#                             quavrix.sf2, a link to the system's General MIDI bank
#   share/applications/, share/icons/, share/metainfo/, share/man/man1/
#   share/doc/quavrix/        copyright and changelog
# The programs look for share/quavrix/ beside their own bin/ folder
# (platform/program_folders.h), so any prefix works.

include(GNUInstallDirs)
set(QUAVRIX_INSTALL_DATA ${CMAKE_INSTALL_DATADIR}/quavrix)
set(_pkg ${CMAKE_SOURCE_DIR}/packaging)
set(_staged ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_staged})

install(TARGETS quavrix-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/default_settings.xml ${CMAKE_SOURCE_DIR}/data/ShortCutKey.txt
  DESTINATION ${QUAVRIX_INSTALL_DATA})
# A link, not a copy: the bank belongs to its own package. Inside the same
# prefix (/usr for the package) the link is relative, as Debian's policy asks.
install(CODE "
  set(_bank \"${QUAVRIX_DEFAULT_SF2}\")
  set(_folder \"\${CMAKE_INSTALL_PREFIX}/${QUAVRIX_INSTALL_DATA}\")
  if(_bank MATCHES \"^\${CMAKE_INSTALL_PREFIX}/\")
    file(RELATIVE_PATH _bank \"\${_folder}\" \"\${_bank}\")
  endif()
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${_folder}\")
  message(STATUS \"Linking: \$ENV{DESTDIR}\${_folder}/quavrix.sf2 -> \${_bank}\")
  file(CREATE_LINK \"\${_bank}\" \"\$ENV{DESTDIR}\${_folder}/quavrix.sf2\" SYMBOLIC)
")

# Manual pages and the changelog compressed as Debian's policy asks; -n keeps
# the archive free of time stamps, so rebuilds give the same bytes.
set(_gz)
foreach(_f quavrix.1 quavrix-cli.1 changelog)
  add_custom_command(OUTPUT ${_staged}/${_f}.gz
    COMMAND gzip -9nc ${_pkg}/${_f} > ${_staged}/${_f}.gz
    DEPENDS ${_pkg}/${_f} VERBATIM)
  list(APPEND _gz ${_staged}/${_f}.gz)
endforeach()
add_custom_target(quavrix_install_docs ALL DEPENDS ${_gz})
install(FILES ${_staged}/quavrix-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_pkg}/copyright ${_staged}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quavrix)

if(TARGET quavrix)
  install(TARGETS quavrix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_staged}/quavrix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/data/org.quavrix.Quavrix.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/data/quavrix.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${_pkg}/org.quavrix.Quavrix.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# The Debian package (scripts/package.sh runs cpack -G DEB).
set(CPACK_PACKAGE_NAME quavrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Quavrix developers <developers@quavrix.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "transcribe a recording into MIDI by ear and by eye")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quavrix shows a recording (WAV, AIFF, FLAC, Ogg Vorbis, Opus, MP3) as a
vertical piano roll with a beat grid and a curve that guesses the notes,
lets you place notes on seven tracks while you listen slowed down without
a change of pitch, and exports a Standard MIDI File whose tempo follows
the grid. The command-line tool quavrix-cli analyses, plays, renders and
exports without a window.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The libraries linked at build time come from dpkg-shlibdeps; those loaded
# when first needed (the sound card's and the decoders') and the data the
# program uses are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libportaudio2, libsndfile1, libsamplerate0, timgm6mb-soundfont, fonts-dejavu-core, fonts-ipafont-gothic, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)
