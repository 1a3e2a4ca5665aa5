# Included by the install-time scripts: the folder of the lab-wide settings files (/etc for the
# prefix /usr, that of the Debian packages; PREFIX/etc for any other), and a settings file laid out
# there once, never over a lab administrator's own.
set(_prefix "${CMAKE_INSTALL_PREFIX}")
if(_prefix STREQUAL "/usr")
    set(_etc "/etc")
else()
    set(_etc "${_prefix}/etc")
endif()

macro(ortavia_keep_settings source)
    get_filename_component(_name "${source}" NAME)
    set(_conf "$ENV{DESTDIR}${_etc}/ortavia/${_name}")
    if(EXISTS "${_conf}")
        message(STATUS "Keeping: ${_conf}")
    else()
        file(INSTALL "${source}" DESTINATION "${_etc}/ortavia") # DESTDIR added here
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_conf}")
    endif()
endmacro()
