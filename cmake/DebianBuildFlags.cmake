# Debian's hardening for a package build: the flags dpkg-buildflags gives with every hardening
# feature on (stack protector, _FORTIFY_SOURCE, format checks, full RELRO with BIND_NOW; PIE
# is the compiler's default there). On with AFFICHEUR_DEBIAN_BUILDFLAGS, which the release
# preset sets, so the package is built with them. Include before any target is defined.
option(AFFICHEUR_DEBIAN_BUILDFLAGS
    "Build with the flags dpkg-buildflags gives (Debian hardening; needs dpkg-dev)" OFF)
if(NOT AFFICHEUR_DEBIAN_BUILDFLAGS)
    return()
endif()

find_program(AFFICHEUR_DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT AFFICHEUR_DPKG_BUILDFLAGS)
    message(FATAL_ERROR "AFFICHEUR_DEBIAN_BUILDFLAGS is on but dpkg-buildflags is missing "
        "(Debian package dpkg-dev)")
endif()
foreach(kind IN ITEMS CPPFLAGS CXXFLAGS LDFLAGS)
    # From the source folder, as a package build runs it: its -ffile-prefix-map then maps
    # the source paths in the debug information to ".".
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            "${AFFICHEUR_DPKG_BUILDFLAGS}" --get ${kind}
        WORKING_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
        OUTPUT_VARIABLE afficheur_${kind}
        OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed: ${status}")
    endif()
endforeach()
message(STATUS "Debian build flags: ${afficheur_CPPFLAGS} ${afficheur_CXXFLAGS} | ${afficheur_LDFLAGS}")
string(APPEND CMAKE_CXX_FLAGS " ${afficheur_CPPFLAGS} ${afficheur_CXXFLAGS}")
string(APPEND CMAKE_EXE_LINKER_FLAGS " ${afficheur_LDFLAGS}")
string(APPEND CMAKE_SHARED_LINKER_FLAGS " ${afficheur_LDFLAGS}")
