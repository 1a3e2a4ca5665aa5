# Install-time part of the server's install rules: the systemd unit names the installed program and
# settings file of the prefix actually installed to (/usr inside the Debian package), and the
# settings file is laid out once, never over a lab administrator's own.
include("@CMAKE_CURRENT_SOURCE_DIR@/install-settings.cmake")
if(_prefix STREQUAL "/usr")
    set(_units "/lib/systemd/system")
else()
    set(_units "${_prefix}/lib/systemd/system")
endif()
set(ORTAVIA_SERVER_CONF "${_etc}/ortavia/server.conf")
set(ORTAVIA_SERVER_PROGRAM "${_prefix}/@CMAKE_INSTALL_BINDIR@/ortavia-server")

set(_unit "$ENV{DESTDIR}${_units}/ortavia-server.service")
message(STATUS "Installing: ${_unit}")
configure_file("@CMAKE_CURRENT_SOURCE_DIR@/server/ortavia-server.service.in" "${_unit}" @ONLY)
file(CHMOD "${_unit}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_unit}")
ortavia_keep_settings("@CMAKE_CURRENT_SOURCE_DIR@/server/server.conf")
