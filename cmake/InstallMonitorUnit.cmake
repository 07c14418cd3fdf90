# Run at install time (cmake/Install.cmake): fills in the unit of the background service for the
# prefix actually installed to, so `cmake --install build --prefix DIR` gets a unit that starts
# DIR's tarnwick-cli. Needs TARNWICK_UNIT_TEMPLATE, TARNWICK_UNIT_BINARY_DIR and TARNWICK_BINDIR.
set(MONITOR_EXEC "\"${CMAKE_INSTALL_PREFIX}/${TARNWICK_BINDIR}/tarnwick-cli\"")
# An installed program keeps its data in the user's data folder; home is as good a place as any.
set(MONITOR_DIR "%h")
set(unit ${TARNWICK_UNIT_BINARY_DIR}/tarnwick-monitor.service)
configure_file(${TARNWICK_UNIT_TEMPLATE} ${unit} @ONLY)
file(INSTALL ${unit} DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/user")
