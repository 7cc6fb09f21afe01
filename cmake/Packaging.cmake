# The release package for Windows: one ZIP, gravelmax-skinkit-<version>-win64.zip,
# holding the two programs and the user guide in one folder of the same name.
#   cpack --preset mingw     (after the mingw build) writes it to build/mingw/package.
# The guide is shipped with CR LF line ends, as Windows editors expect.

set(SKINKIT_PACKAGED_PROGRAMS texsplit skininstall)

install(TARGETS ${SKINKIT_PACKAGED_PROGRAMS} RUNTIME DESTINATION .)

file(READ "${PROJECT_SOURCE_DIR}/docs/USER-GUIDE.txt" skinkit_guide)
string(REPLACE "\r\n" "\n" skinkit_guide "${skinkit_guide}")
string(REPLACE "\n" "\r\n" skinkit_guide "${skinkit_guide}")
file(WRITE "${CMAKE_BINARY_DIR}/USER-GUIDE.txt" "${skinkit_guide}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/docs/USER-GUIDE.txt")
install(FILES "${CMAKE_BINARY_DIR}/USER-GUIDE.txt" DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME gravelmax-skinkit)
set(CPACK_PACKAGE_VENDOR "Gravelmax Skin Kit developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME gravelmax-skinkit-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
