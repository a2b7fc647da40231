# kanoru_library(NAME DEPENDS ...): a static library of every source in the current folder.
# New files join by being there; the glob is re-checked at every build.
function(kanoru_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.S)
  if(NOT sources)
    # A layer whose first sources are still to come is a name the others can already lean on.
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE kanoru_deps ${ARG_DEPENDS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC kanoru_deps ${ARG_DEPENDS})
endfunction()

# kanoru_test_program(NAME FOLDER [DESKTOP_INPUT] DEPENDS ... [PROPERTIES ...]): one GoogleTest
# program of every source in tests/FOLDER, its cases registered with ctest when the tests run (not
# at build time: that would run Wine during the build). With DESKTOP_INPUT the cases of suites
# named DesktopInput* (they take the foreground, the cursor or the system's input) share one
# resource lock, so that no two of them run at once. PROPERTIES are further ctest properties of
# every case.
function(kanoru_test_program name folder)
  cmake_parse_arguments(ARG "DESKTOP_INPUT" "" "DEPENDS;PROPERTIES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${folder}/*.cpp)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} kanoru_test_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    set(discovery DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    set(properties ENVIRONMENT "KANORU_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data" ${ARG_PROPERTIES})
    if(ARG_DESKTOP_INPUT)
      gtest_discover_tests(${name} ${discovery} TEST_FILTER "-DesktopInput*" PROPERTIES ${properties})
      gtest_discover_tests(${name} ${discovery} TEST_FILTER "DesktopInput*"
        PROPERTIES ${properties} RESOURCE_LOCK desktop_input)
    else()
      gtest_discover_tests(${name} ${discovery} PROPERTIES ${properties})
    endif()
  endif()
endfunction()
