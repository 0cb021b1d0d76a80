# Where `cmake --install` puts the program: the executable, its help page, the desktop entry,
# the icon in the hicolor theme and the AppStream metainfo, each in its standard place.
set(VELMORA_APP_ID example.halvard.Velmora)
set(VELMORA_APP_RES ${CMAKE_CURRENT_SOURCE_DIR}/res)

install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES help/velmora.html DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora/help)
install(FILES desktop/${VELMORA_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES desktop/${VELMORA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${VELMORA_APP_RES}/icons/app/velmora-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME velmora.png)
endforeach()
install(FILES ${VELMORA_APP_RES}/icons/app/velmora.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The button pictures are built into the program; their licence travels with it.
install(FILES ${VELMORA_APP_RES}/icons/README.md ${VELMORA_APP_RES}/icons/LICENSE.LGPL-3
              ${VELMORA_APP_RES}/icons/LICENSE.GPL-3
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora/icons)

# A Debian package of the installed files (`cpack -G DEB`). The Chinese texts of the whole user
# interface need a CJK font, so one is a dependency, and Qt's own texts its Chinese translations.
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Halvard")
set(CPACK_PACKAGE_CONTACT "support@halvard.example")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Removes unwanted objects from photographs")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), qt6-qpa-plugins, qt6-image-formats-plugins, qt6-translations-l10n, libgif7, libimagequant0, fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
