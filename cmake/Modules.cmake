# Compiler settings and the two runtime flavours of the modules.
#
# Modules that pass C++ exceptions across DLL boundaries (Ambrel, Dravik and
# the test programs) use the shared mingw runtime: with DW2 unwinding on i686
# an exception crossing a module that links libgcc statically terminates the
# process. Self-contained modules (Kestrine) link the runtime statically.

# Compiler options only: the resource compiler of a target takes none of them.
function(qln_warnings target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra>)
  if(QLN_WERROR)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Werror>)
  endif()
endfunction()

function(qln_shared_runtime target)
  target_link_options(${target} PRIVATE -shared-libgcc)
endfunction()

function(qln_static_runtime target)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endfunction()

# qln_version_resource(<target> <description>): the DLL carries a version
# resource with the project's version, so that Windows and installers can tell
# which build they hold.
function(qln_version_resource target description)
  get_target_property(QLN_RC_NAME ${target} OUTPUT_NAME)
  if(NOT QLN_RC_NAME)
    set(QLN_RC_NAME ${target})
  endif()
  set(QLN_RC_FILE_NAME ${QLN_RC_NAME}.dll)
  set(QLN_RC_DESCRIPTION "${description}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}Version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# Runtime DLLs next to every program of bin/, so that each runs as it is.
set(QLN_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_dw2-1.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${path}" AND EXISTS "${path}")
    list(APPEND QLN_RUNTIME_DLLS "${path}")
  endif()
endforeach()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
file(COPY ${QLN_RUNTIME_DLLS} DESTINATION ${CMAKE_BINARY_DIR}/bin)

# Import libraries that bind functions by ordinal, where mingw's own import
# libraries bind them by name: target qln_import_<name> (an imported library).
foreach(name shell32 msi)
  if(QLN_WIDTH EQUAL 32)
    set(DECORATION_4 "@4")
    set(DECORATION_16 "@16")
    set(kill_at -k)
  else()
    set(DECORATION_4 "")
    set(DECORATION_16 "")
    set(kill_at)
  endif()
  set(def ${CMAKE_BINARY_DIR}/imports/${name}-ordinals.def)
  set(implib ${CMAKE_BINARY_DIR}/imports/lib${name}-ordinals.a)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/imports/${name}-ordinals.def.in ${def} @ONLY)
  add_custom_command(OUTPUT ${implib}
                     COMMAND ${CMAKE_DLLTOOL} ${kill_at} -d ${def} -l ${implib}
                     DEPENDS ${def} VERBATIM)
  add_custom_target(qln_import_${name}_lib DEPENDS ${implib})
  add_library(qln_import_${name} INTERFACE)
  add_dependencies(qln_import_${name} qln_import_${name}_lib)
  target_link_libraries(qln_import_${name} INTERFACE ${implib})
endforeach()
