# The Windows download, orvane-<version>-win32.zip in <build>/packages:
# `cmake --build --preset win32 -t windows-zip` (packaging/windows/make-zip.sh makes it byte for byte the same
# from the same sources).
set(ORVANE_WINDOWS_ZIP ${CMAKE_BINARY_DIR}/packages/orvane-${PROJECT_VERSION}-win32.zip)
add_custom_target(windows-zip
    COMMAND ${PROJECT_SOURCE_DIR}/packaging/windows/make-zip.sh ${ORVANE_WINDOWS_ZIP} ${PROJECT_VERSION}
            ${PROJECT_SOURCE_DIR} ${CMAKE_STRIP} $<TARGET_FILE:orvane> $<TARGET_FILE:orvane-probe>
    DEPENDS orvane orvane-probe
    COMMENT "Making the Windows download"
    VERBATIM)
