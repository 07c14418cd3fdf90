# What `cmake --install` puts under the prefix, and the manual beside the desktop program in the build.
#
#   bin/tarnwick-cli, bin/tarnwick            the programs
#   share/tarnwick/help/                      the HTML manual
#   share/applications/tarnwick.desktop       the desktop entry
#   share/icons/hicolor/scalable/apps/tarnwick.svg   the program's icon
#   lib/systemd/user/tarnwick-monitor.service the background service (tarnwick-cli monitor) as a
#                                             user unit: systemctl --user enable --now tarnwick-monitor
#
# Destinations are relative, so `cmake --install build --prefix DIR` works for any DIR. An installed
# program keeps its data in the user's data folder and finds this manual relative to its bin folder
# (src/app/ProgramFolder.h).
include(GNUInstallDirs)

install(TARGETS tarnwick-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tarnwick)
  install(TARGETS tarnwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/help/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick/help
  PATTERN README.md EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/resources/tarnwick.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/tarnwick.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The unit is filled in at install time, for the prefix installed to (cmake/InstallMonitorUnit.cmake).
install(CODE "
  set(TARNWICK_UNIT_TEMPLATE \"${PROJECT_SOURCE_DIR}/resources/tarnwick-monitor.service.in\")
  set(TARNWICK_UNIT_BINARY_DIR \"${PROJECT_BINARY_DIR}\")
  set(TARNWICK_BINDIR \"${CMAKE_INSTALL_BINDIR}\")")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallMonitorUnit.cmake)

# A program run from the build finds its manual in the help folder beside it, like any program
# that is not installed; the copy follows every change of the sources.
if(TARGET tarnwick)
  file(GLOB_RECURSE manual_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/help/*)
  set(manual_stamp ${CMAKE_CURRENT_BINARY_DIR}/tarnwick_manual.stamp)
  add_custom_command(OUTPUT ${manual_stamp}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/help $<TARGET_FILE_DIR:tarnwick>/help
    COMMAND ${CMAKE_COMMAND} -E touch ${manual_stamp}
    DEPENDS ${manual_sources}
    COMMENT "Copying the manual beside tarnwick")
  add_custom_target(tarnwick_manual ALL DEPENDS ${manual_stamp})
  # Building the program alone (scripts/run) brings its manual along.
  add_dependencies(tarnwick tarnwick_manual)
endif()
