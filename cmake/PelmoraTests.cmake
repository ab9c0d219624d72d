# pelmora_test_folder(NAME LIBS lib... [POSIX_ONLY file...] [BOTH_CABINET_LIBRARIES]): one
# GoogleTest executable from every *_test.cpp beside the calling CMakeLists.txt, registered
# with CTest test by test. The POSIX_ONLY files (named relative to the folder; the caller says
# why) stay out of a Windows build, and the configure step lists them. BOTH_CABINET_LIBRARIES:
# on Windows every test runs twice, against the platform's cabinet.dll (names ending in
# ".platform") and against ours, pelmora-cabinet.dll (".ours").
function(pelmora_test_folder name)
  cmake_parse_arguments(ARG "BOTH_CABINET_LIBRARIES" "" "LIBS;POSIX_ONLY" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp
                                      ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
  if(WIN32 AND ARG_POSIX_ONLY)
    foreach(file IN LISTS ARG_POSIX_ONLY)
      list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${file})
    endforeach()
    message(STATUS "${name}: not on Windows: ${ARG_POSIX_ONLY}")
  endif()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    PELMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    PELMORA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(discovery DISCOVERY_TIMEOUT 60)
  if(CMAKE_CROSSCOMPILING)
    # Listing the tests runs the program under its emulator: do it when the tests run, not
    # on every build.
    set(discovery DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST)
  endif()
  if(WIN32 AND ARG_BOTH_CABINET_LIBRARIES)
    gtest_discover_tests(${name} ${discovery} TEST_SUFFIX .platform)
    gtest_discover_tests(${name} ${discovery} TEST_SUFFIX .ours
      PROPERTIES ENVIRONMENT "PELMORA_CABINET_LIBRARY=pelmora-cabinet.dll")
    return()
  endif()
  gtest_discover_tests(${name} ${discovery}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
