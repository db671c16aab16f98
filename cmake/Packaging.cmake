# Installation layout and the Debian package: the programs in bin/, the desktop entry, AppStream
# metadata, the icon in the hicolor theme, the man page, and the files Debian expects in doc/.

include(GNUInstallDirs)
set(desk ${PROJECT_SOURCE_DIR}/res/desktop)
set(gen ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${gen})

install(TARGETS marquelo marquelo-convert RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Found by the program beside its own folder: bin/../lib/<multiarch>/marquelo (src/CMakeLists.txt).
install(TARGETS marquelo_vips marquelo_program LIBRARY DESTINATION ${MARQUELO_MODULE_INSTALL_DIR})
install(FILES ${desk}/io.marquelo.Marquelo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desk}/io.marquelo.Marquelo.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${desk}/marquelo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# PNG icons rendered from the SVG at build time, so the picture exists once.
add_executable(marquelo-render-icon ${PROJECT_SOURCE_DIR}/cmake/RenderIcon.cpp)
target_link_libraries(marquelo-render-icon PRIVATE Qt6::Gui Qt6::Svg)
set(icon_pngs)
foreach(size 16 22 24 32 48 64 128 256)
  set(png ${gen}/icons/${size}/marquelo.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${gen}/icons/${size}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:marquelo-render-icon> ${desk}/marquelo.svg ${size} ${png}
    DEPENDS ${desk}/marquelo.svg marquelo-render-icon VERBATIM)
  list(APPEND icon_pngs ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Debian wants man pages and the changelog compressed with gzip -9n.
find_program(GZIP gzip REQUIRED)
set(man_pages)
foreach(page marquelo marquelo-convert)
  add_custom_command(OUTPUT ${gen}/${page}.1.gz
    COMMAND ${GZIP} -9nc ${desk}/${page}.1 > ${gen}/${page}.1.gz
    DEPENDS ${desk}/${page}.1 VERBATIM)
  list(APPEND man_pages ${gen}/${page}.1.gz)
endforeach()
# The package is native (no Debian revision), so its changelog is plain changelog.gz.
configure_file(${PROJECT_SOURCE_DIR}/cmake/changelog.Debian.in ${gen}/changelog @ONLY)
add_custom_command(OUTPUT ${gen}/changelog.gz
  COMMAND ${GZIP} -9nc ${gen}/changelog > ${gen}/changelog.gz
  DEPENDS ${gen}/changelog VERBATIM)
add_custom_target(marquelo-packaging-files ALL DEPENDS ${icon_pngs} ${man_pages} ${gen}/changelog.gz)
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Debian looks for the package's own name in doc/, not the project's capitalised one.
install(FILES ${desk}/copyright ${gen}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/marquelo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME marquelo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Marquelo developers <dev@marquelo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard-driven photo viewer and web-page builder")
set(CPACK_PACKAGE_DESCRIPTION "Marquelo shows the photos of a folder one at a time, full window.\nZoom into the part worth showing, press A and type a caption: the photo,\ncropped, resized and compressed, is appended to an HTML page.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
# Qt's own Wayland platform: without it a Wayland session runs the program through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://marquelo.invalid/")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
