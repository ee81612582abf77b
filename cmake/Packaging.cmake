# Installation layout and the two Debian packages (cpack -G DEB):
#   velnor         the app, its desktop entry and icon
#   velnor-server  the backend, a systemd user unit and a man page made from --help
include(GNUInstallDirs)

install(TARGETS velnor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT app)
# The app finds its accessibility helper in ../libexec/velnor beside its own folder.
if(TARGET velnor-atspi-helper)
  install(TARGETS velnor-atspi-helper RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/velnor COMPONENT app)
endif()
# The Fcitx5 addon (built when Fcitx5's headers were found), where Fcitx5
# looks for addons; Fcitx5 loads it at its next start.
if(TARGET velnor-fcitx5)
  install(TARGETS velnor-fcitx5 LIBRARY DESTINATION ${VELNOR_FCITX5_ADDON_DIR} COMPONENT app)
  install(FILES ${VELNOR_FCITX5_INSTALL_CONF} DESTINATION share/fcitx5/addon COMPONENT app)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velnor.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT app)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velnor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT app)

install(TARGETS velnor-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT server)
# systemd looks for user units under /usr/lib, not /usr/lib64 or a multiarch folder.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velnor-server.service
        DESTINATION lib/systemd/user COMPONENT server)
# A commented example for the unit's keys: no secret, but owner-only like the file it becomes.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velnor-server.env
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/velnor PERMISSIONS OWNER_READ OWNER_WRITE COMPONENT server)

find_program(HELP2MAN_PROGRAM help2man)
if(HELP2MAN_PROGRAM)
  set(velnor_server_man "${CMAKE_CURRENT_BINARY_DIR}/velnor-server.1.gz")
  add_custom_command(
    OUTPUT ${velnor_server_man}
    COMMAND ${HELP2MAN_PROGRAM} --no-info --no-discard-stderr
            --name=${CMAKE_PROJECT_NAME}\ backend\ and\ real-time\ recogniser
            --include=${PROJECT_SOURCE_DIR}/packaging/velnor-server.h2m
            --output=velnor-server.1 $<TARGET_FILE:velnor-server>
    COMMAND gzip -n -9 -f velnor-server.1
    DEPENDS velnor-server ${PROJECT_SOURCE_DIR}/packaging/velnor-server.h2m
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    COMMENT "Man page of velnor-server from its --help")
  add_custom_target(velnor_server_man ALL DEPENDS ${velnor_server_man})
  install(FILES ${velnor_server_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT server)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velnor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velnor developers <developers@velnor.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Push-to-talk voice input for the desktop")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL app server)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Shared-library dependencies are read off the binaries by dpkg-shlibdeps;
# what is loaded at run time (plugins, models, services) is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_APP_PACKAGE_NAME velnor)
set(CPACK_DEBIAN_APP_DESCRIPTION
    "Push-to-talk voice input for the desktop\n Hold the hotkey, speak, release: the speech becomes text in the focused\n field of the frontmost application. X11 desktops.")
set(CPACK_DEBIAN_APP_PACKAGE_DEPENDS
    "qt6-qpa-plugins, libqt6sql6-sqlite, at-spi2-core, pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_APP_PACKAGE_RECOMMENDS "velnor-server, fonts-noto-cjk")
set(CPACK_DEBIAN_SERVER_PACKAGE_NAME velnor-server)
set(CPACK_DEBIAN_SERVER_DESCRIPTION
    "Self-hostable backend for Velnor\n HTTP API (login, hot words, file recognition) and the real-time\n recognition endpoint, with an offline recogniser.")
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "pocketsphinx-en-us, libqt6sql6-sqlite")
include(CPack)
