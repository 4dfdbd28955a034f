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
# What the package tells a consumer of the compiler it was built with: its
# name, version and thread model, and the runtime DLLs it put into bin/.
get_filename_component(QLN_PACKAGE_COMPILER ${CMAKE_CXX_COMPILER} NAME)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -v ERROR_VARIABLE QLN_PACKAGE_THREADS)
string(REGEX MATCH "Thread model: ([A-Za-z0-9]+)" QLN_PACKAGE_THREADS "${QLN_PACKAGE_THREADS}")
set(QLN_PACKAGE_THREADS "${CMAKE_MATCH_1}")
set(QLN_PACKAGE_RUNTIME_DLLS)
foreach(dll IN LISTS QLN_RUNTIME_DLLS)
  get_filename_component(name ${dll} NAME)
  list(APPEND QLN_PACKAGE_RUNTIME_DLLS ${name})
endforeach()
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/DravikConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/package/DravikConfig.cmake
                              INSTALL_DESTINATION ${QLN_PACKAGE_DIR}
                              PATH_VARS CMAKE_INSTALL_BINDIR)
# The package is of one width: a project of the other width does not take it.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/DravikConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/DravikConfig.cmake
              ${CMAKE_BINARY_DIR}/package/DravikConfigVersion.cmake
        DESTINATION ${QLN_PACKAGE_DIR})
