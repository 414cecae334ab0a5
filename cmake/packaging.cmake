# Debian packages through CPack: orvane (the window program) and orvane-probe (the probe, its man page and
# contrib/), one .deb per install component, into <build>/packages. `cmake --workflow --preset packages`
# makes both from a clean clone; `cmake --build <dir> -t package` from any Linux build.
set(ORVANE_DEBIAN ${PROJECT_SOURCE_DIR}/packaging/debian)
set(ORVANE_PACKAGES orvane-probe)
if(ORVANE_BUILD_GUI)
    list(PREPEND ORVANE_PACKAGES orvane)
endif()

# The changelog's newest entry names the release being packaged.
file(STRINGS ${ORVANE_DEBIAN}/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^orvane \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/debian/changelog starts with '${changelog_head}': add an entry for ${PROJECT_VERSION}")
endif()

# What Debian wants in every package beside the programs: the licence in its machine-readable form, the
# changelog compressed without a name or time stamp, and the reasons for lintian's remaining warnings.
# Only the packages carry them (EXCLUDE_FROM_ALL): a plain `cmake --install` leaves them out.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
                   COMMAND gzip -9n -c ${ORVANE_DEBIAN}/changelog > ${changelog_gz}
                   DEPENDS ${ORVANE_DEBIAN}/changelog
                   COMMENT "Compressing the Debian changelog")
add_custom_target(orvane-debian-changelog ALL DEPENDS ${changelog_gz})
foreach(package IN LISTS ORVANE_PACKAGES)
    install(FILES ${ORVANE_DEBIAN}/copyright ${changelog_gz}
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${package} EXCLUDE_FROM_ALL)
    if(EXISTS ${ORVANE_DEBIAN}/${package}/lintian-overrides)
        install(FILES ${ORVANE_DEBIAN}/${package}/lintian-overrides RENAME ${package}
                DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT ${package} EXCLUDE_FROM_ALL)
    endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Orvane developers")
set(CPACK_PACKAGE_CONTACT "The Orvane developers <author@orvane.example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_COMPONENTS_ALL ${ORVANE_PACKAGES})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Library dependencies come from the binaries, package by package (dpkg-shlibdeps); the tools the
# maintainer scripts call are named by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_ORVANE_PACKAGE_NAME orvane)
set(CPACK_DEBIAN_ORVANE_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ORVANE_PACKAGE_DEPENDS "adduser, libcap2-bin")
set(CPACK_DEBIAN_ORVANE_PACKAGE_SECTION net)
set(CPACK_DEBIAN_ORVANE_PACKAGE_CONTROL_EXTRA ${ORVANE_DEBIAN}/orvane/postinst ${ORVANE_DEBIAN}/orvane/postrm)
set(CPACK_COMPONENT_ORVANE_DESCRIPTION
    "find the DHCP servers answering on the local network, in a window
Orvane broadcasts one DHCP DISCOVER and shows every reply that comes back:
which server answered, through which relay agent, and which address it
offered. It never requests or takes a lease. Network administrators use it
to spot rogue or misconfigured DHCP servers.
.
The window program holds no right. A small helper without any GUI library
binds ports 67 and 68 (or opens a packet socket beside a DHCP client),
drops its rights and serves the window; only root and the members of the
system group orvane may run it.")

set(CPACK_DEBIAN_ORVANE-PROBE_PACKAGE_NAME orvane-probe)
set(CPACK_DEBIAN_ORVANE-PROBE_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ORVANE-PROBE_PACKAGE_DEPENDS "adduser, libcap2-bin")
set(CPACK_DEBIAN_ORVANE-PROBE_PACKAGE_SECTION net)
set(CPACK_DEBIAN_ORVANE-PROBE_PACKAGE_CONTROL_EXTRA
    ${ORVANE_DEBIAN}/orvane-probe/postinst ${ORVANE_DEBIAN}/orvane-probe/prerm ${ORVANE_DEBIAN}/orvane-probe/postrm)
set(CPACK_COMPONENT_ORVANE-PROBE_DESCRIPTION
    "find and check the DHCP servers on the local network, from a script
orvane-probe broadcasts DHCP DISCOVERs and reports every reply: which server
answered, through which relay agent and interface, and what it offered.
Given the authorised servers, it ends with a verdict for monitoring; it can
repeat rounds, report as JSON Lines and watch every interface.
.
Only root and the members of the system group orvane may run the installed
probe, which holds the rights to bind ports 67 and 68 and to capture.")

include(CPack)
