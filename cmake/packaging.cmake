# Installing Mivo, and the Debian package made from the installed files (cpack -G DEB).
#
# Two layouts:
# - a program folder (the default): `cmake --install build --prefix ~/Mivo` copies the build
#   folder's layout, programs with html/ and readme.txt beside them, plus the sample album
#   and starter settings. Mivo keeps Mivo.ini, Mivo.csv and Mivo.log in that folder, so
#   install it into a folder you own;
# - for all users (MIVO_SYSTEM_INSTALL=ON, prefix /usr; scripts/package.sh): the program
#   folder is <prefix>/lib/mivo with starter/ settings that each user's first start copies into
#   ~/.config/mivo, <prefix>/bin links, the desktop entry, icons, AppStream metainfo, man pages,
#   /usr/share/mivo with the sample album the starter settings use (a system may drop
#   /usr/share/doc, so nothing the program needs lives there), and /usr/share/doc/mivo with
#   the copyright and the changelog.
option(MIVO_SYSTEM_INSTALL "Install for all users under the prefix (the Debian package's layout)" OFF)

if(NOT TARGET mivo OR NOT TARGET mivo-make)
  message(STATUS "mivo: no Qt window is built, so there is nothing to install")
  return()
endif()

set(MIVO_QT_RESOURCES ${CMAKE_SOURCE_DIR}/src/window/qt/resources)
set(MIVO_SAMPLE_FOLDERS album thumbnails trip garden)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(NOT MIVO_SYSTEM_INSTALL)
  install(TARGETS mivo mivo-make RUNTIME DESTINATION .)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/html DESTINATION . PATTERN ".keep" EXCLUDE)
  install(FILES ${CMAKE_SOURCE_DIR}/readme.txt ${CMAKE_SOURCE_DIR}/readme-en.txt DESTINATION .)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/locale DESTINATION .)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples DESTINATION .)
  # The installed copy starts on its own sample album: a starter Mivo.ini and Mivo.csv
  # pointing into the installed examples/, written only where the folder has none (a
  # reinstall keeps the user's settings).
  install(CODE [=[
    set(dest "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    execute_process(COMMAND "${CMAKE_COMMAND}" "-DMIVO_SOURCE_DIR=${dest}" "-DMIVO_BINARY_DIR=${dest}"
                            -P "${dest}/examples/starter.cmake")
  ]=])
  install(FILES ${MIVO_QT_RESOURCES}/mivo.png DESTINATION share/icons/hicolor/256x256/apps)
  install(FILES ${MIVO_QT_RESOURCES}/mivo-48.png DESTINATION share/icons/hicolor/48x48/apps
          RENAME mivo.png)
  install(FILES ${MIVO_QT_RESOURCES}/mivo.svg DESTINATION share/icons/hicolor/scalable/apps)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)
  # The desktop entry names the program by its installed path.
  install(CODE "set(MIVO_DESKTOP_IN \"${MIVO_QT_RESOURCES}/mivo.desktop.in\")")
  install(CODE [=[
    set(dest "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    file(READ "${MIVO_DESKTOP_IN}" entry)
    string(REPLACE "@MIVO_PROGRAM_FOLDER@" "${CMAKE_INSTALL_PREFIX}" entry "${entry}")
    file(WRITE "${dest}/share/applications/mivo.desktop" "${entry}")
    message(STATUS "Installing: ${dest}/share/applications/mivo.desktop")
  ]=])
  return()
endif()

# --- For all users ------------------------------------------------------------------------
set(MIVO_PROGRAM_DIR lib/mivo)
set(MIVO_DOC_DIR share/doc/mivo)
set(MIVO_DATA_DIR share/mivo)
set(MIVO_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
set(MIVO_GENERATED ${CMAKE_BINARY_DIR}/packaging)
set(MIVO_VERSION ${PROJECT_VERSION})
set(MIVO_APP_ID io.github.mivo_gallery.Mivo)

# The starter settings: the sample album where the package puts it, pages into ~/Mivo (the
# "~" is expanded when a user's first start takes them).
function(mivo_configure_starter)
  set(MIVO_SOURCE_DIR ${CMAKE_INSTALL_PREFIX}/${MIVO_DATA_DIR})
  set(MIVO_BINARY_DIR "~/Mivo")
  foreach(name Mivo.ini Mivo.csv)
    configure_file(${CMAKE_SOURCE_DIR}/examples/starter/${name}.in
                   ${MIVO_GENERATED}/starter/${name} @ONLY NEWLINE_STYLE CRLF)
  endforeach()
endfunction()
mivo_configure_starter()

configure_file(${MIVO_PACKAGING}/${MIVO_APP_ID}.metainfo.xml
               ${MIVO_GENERATED}/${MIVO_APP_ID}.metainfo.xml @ONLY)

# Man pages and the changelog go in compressed, without a time stamp, as Debian wants them.
set(MIVO_GZIPPED)
foreach(source mivo.1 mivo-make.1 changelog)
  configure_file(${MIVO_PACKAGING}/${source} ${MIVO_GENERATED}/${source} @ONLY)
  add_custom_command(OUTPUT ${MIVO_GENERATED}/${source}.gz
    COMMAND gzip -9 -n -f -k ${MIVO_GENERATED}/${source}
    DEPENDS ${MIVO_GENERATED}/${source}
    COMMENT "Compressing ${source}")
  list(APPEND MIVO_GZIPPED ${MIVO_GENERATED}/${source}.gz)
endforeach()
add_custom_target(packaging_data ALL DEPENDS ${MIVO_GZIPPED})

install(TARGETS mivo mivo-make RUNTIME DESTINATION ${MIVO_PROGRAM_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/html DESTINATION ${MIVO_PROGRAM_DIR} PATTERN ".keep" EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/readme.txt ${CMAKE_SOURCE_DIR}/readme-en.txt
        DESTINATION ${MIVO_PROGRAM_DIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/locale DESTINATION ${MIVO_PROGRAM_DIR})
install(FILES ${MIVO_GENERATED}/starter/Mivo.ini ${MIVO_GENERATED}/starter/Mivo.csv
        DESTINATION ${MIVO_PROGRAM_DIR}/starter)
# The commands on the PATH are links into the program folder, which the programs find by
# resolving their own path.
install(CODE [=[
  set(bin "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
  file(MAKE_DIRECTORY "${bin}")
  foreach(program mivo mivo-make)
    file(CREATE_LINK "../lib/mivo/${program}" "${bin}/${program}" SYMBOLIC)
    message(STATUS "Installing: ${bin}/${program} -> ../lib/mivo/${program}")
  endforeach()
]=])

install(FILES ${MIVO_PACKAGING}/mivo.desktop DESTINATION share/applications)
install(FILES ${MIVO_QT_RESOURCES}/mivo.png DESTINATION share/icons/hicolor/256x256/apps)
install(FILES ${MIVO_QT_RESOURCES}/mivo-48.png DESTINATION share/icons/hicolor/48x48/apps
        RENAME mivo.png)
install(FILES ${MIVO_QT_RESOURCES}/mivo.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${MIVO_GENERATED}/${MIVO_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${MIVO_GENERATED}/mivo.1.gz ${MIVO_GENERATED}/mivo-make.1.gz
        DESTINATION share/man/man1)
install(FILES ${MIVO_PACKAGING}/copyright ${MIVO_GENERATED}/changelog.gz
        DESTINATION ${MIVO_DOC_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${MIVO_PROGRAM_DIR})
install(FILES ${MIVO_PACKAGING}/lintian-overrides DESTINATION share/lintian/overrides RENAME mivo)
foreach(folder ${MIVO_SAMPLE_FOLDERS})
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/${folder} DESTINATION ${MIVO_DATA_DIR}/examples)
endforeach()

# --- The Debian package -------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mivo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Mivo authors")
set(CPACK_PACKAGE_CONTACT "Mivo team <mivo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "static HTML photo gallery maker")
set(CPACK_PACKAGE_DESCRIPTION
    "Mivo turns folders of pictures into small static HTML photo galleries:
a page of thumbnails, a picture viewer with an optional slide show and an
index page, made by filling HTML templates that the user can edit. The
pages refer to the pictures where they are; on request Mivo also makes
small thumbnails and display copies beside the pages, so that a gallery
of camera pictures stays light to visit.

A menu mode makes one gallery per row of a gallery list, plus a menu page
linking them. The window speaks Japanese, or English on other desktops;
mivo-make makes the same galleries without it.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the shared libraries the programs link (dpkg-shlibdeps), and libvips
# and TurboJPEG, which the programs open only when they make reduced copies, so shlibdeps
# cannot see them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libvips42 (>= 8.14), libturbojpeg0 (>= 1:2.0)")
# Japanese captions need a font that has them; pages, folders and the help open with xdg-open.
# Qt's own dialogs (the folder chooser, the file dialog) speak the desktop's language only with
# Qt's translations. Videos in a gallery ([Html] Media) need the ffmpeg program, which the run
# starts as a child, so shlibdeps cannot see it either.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-vlgothic | fonts-noto-cjk, xdg-utils, qt6-translations-l10n, ffmpeg")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
