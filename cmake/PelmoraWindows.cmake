# Windows builds (MinGW-w64): programs that run on a Windows machine with nothing else
# installed, with file names in UTF-16 throughout.

# The C and C++ runtimes, winpthread and zlib go inside each program and DLL.
add_link_options(-static -static-libgcc -static-libstdc++)
set(ZLIB_USE_STATIC_LIBS ON)

# Unicode Windows API by default: no call may fall back to the ANSI code page by accident.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)

# pelmora_windows_resources(TARGET DESCRIPTION): the version resource and the manifest
# (per-monitor v2 DPI awareness, UTF-8 as the ANSI code page, common controls 6, asInvoker).
function(pelmora_windows_resources target description)
  set(PELMORA_RC_TARGET ${target})
  set(PELMORA_RC_DESCRIPTION ${description})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(PELMORA_RC_FILE_TYPE VFT_APP)
    set(PELMORA_RC_SUFFIX exe)
  else()
    set(PELMORA_RC_FILE_TYPE VFT_DLL)
    set(PELMORA_RC_SUFFIX dll)
  endif()
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  set(PELMORA_RC_FILE_NAME ${output_name}.${PELMORA_RC_SUFFIX})
  string(REPLACE "." "," PELMORA_RC_VERSION_COMMAS "${PROJECT_VERSION}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  if(type STREQUAL "EXECUTABLE")
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/windows/manifest.rc)
    set_source_files_properties(${PROJECT_SOURCE_DIR}/cmake/windows/manifest.rc PROPERTIES
      OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/windows/pelmora.manifest)
  endif()
endfunction()
