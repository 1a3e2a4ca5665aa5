# Install-time part of the install rules: the files that name installed paths are written for the
# prefix actually installed to (cmake --install --prefix, or /usr inside the Debian package), and the
# lab-wide settings file is laid out once, never over a lab administrator's own.
include("@CMAKE_CURRENT_SOURCE_DIR@/install-settings.cmake")
set(ORTAVIA_CONF "${_etc}/ortavia/ortavia.conf")
set(ORTAVIA_PROGRAM "${_prefix}/@CMAKE_INSTALL_BINDIR@/ortavia")
set(ORTAVIA_LAUNCHER "${_prefix}/@CMAKE_INSTALL_LIBEXECDIR@/ortavia/ortavia-start")

set(_launcher "$ENV{DESTDIR}${ORTAVIA_LAUNCHER}")
set(_desktop "$ENV{DESTDIR}${_prefix}/@CMAKE_INSTALL_DATADIR@/applications/org.ortavia.Ortavia.desktop")
message(STATUS "Installing: ${_launcher}")
configure_file("@CMAKE_CURRENT_SOURCE_DIR@/ortavia-start.in" "${_launcher}" @ONLY)
file(CHMOD "${_launcher}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
     WORLD_READ WORLD_EXECUTE)
message(STATUS "Installing: ${_desktop}")
configure_file("@CMAKE_CURRENT_SOURCE_DIR@/org.ortavia.Ortavia.desktop.in" "${_desktop}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_launcher}" "${_desktop}")

ortavia_keep_settings("@CMAKE_CURRENT_SOURCE_DIR@/ortavia.conf")
