# The installed package: `cmake --install build/<preset> --prefix <dir>` gives
#   bin/                     Dravik.dll, Ambrel.dll and the mingw runtime DLLs
#   lib/                     their import libraries
#   include/                 the public headers (qln/ and Dravik/)
#   lib/cmake/Dravik/        the CMake package: Dravik::Dravik, Dravik::Ambrel
# and on 32 bits the installer plug-in as NSIS lays out its own folders:
#   Plugins/x86-unicode/     Kestrine.dll, stripped
#   Examples/Kestrine/       an example installer script
# The modules add their own files (install rules beside their targets); this
# file adds the runtime and the package files.
include(CMakePackageConfigHelpers)

set(QLN_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Dravik)

install(PROGRAMS ${QLN_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})

install(EXPORT DravikTargets NAMESPACE Dravik:: DESTINATION ${QLN_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/DravikConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/package/DravikConfig.cmake
                              INSTALL_DESTINATION ${QLN_PACKAGE_DIR})
# The package is of one width: a project of the other width does not take it.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/DravikConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/DravikConfig.cmake
              ${CMAKE_BINARY_DIR}/package/DravikConfigVersion.cmake
        DESTINATION ${QLN_PACKAGE_DIR})
