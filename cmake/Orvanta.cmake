include(GoogleTest)

# GoogleTest from Debian's sources, built with whichever compiler this build uses.
macro(orvanta_setup_gtest)
  set(ORVANTA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${ORVANTA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT ORVANTA_NATIVE)
    # Test runs go through Wine with the run's own prefix (see tests/wine-run.in).
    set(ORVANTA_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix for test runs")
    configure_file(${CMAKE_SOURCE_DIR}/tests/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
  endif()
endmacro()

# orvanta_test(<name> SOURCES ... [LIBS ...] [RESOURCES file.rc ...] [DESKTOP] [SOAK] [NATIVE_TOO])
#   DESKTOP: the test shows windows or reads screen pixels, so it never runs beside
#            another such test.
#   SOAK:    a long run of many threads; labelled "soak" so scripts/test runs it apart.
#   In the native build only tests marked NATIVE_TOO are built.
function(orvanta_test name)
  cmake_parse_arguments(T "DESKTOP;SOAK;NATIVE_TOO" "" "SOURCES;LIBS;RESOURCES" ${ARGN})
  if(ORVANTA_NATIVE AND NOT T_NATIVE_TOO)
    return()
  endif()
  if(ORVANTA_NATIVE)
    add_executable(${name} ${T_SOURCES})
  else()
    add_executable(${name} ${T_SOURCES} ${T_RESOURCES})
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  set(props TIMEOUT 300)
  if(T_DESKTOP)
    list(APPEND props RESOURCE_LOCK desktop)
  endif()
  if(T_SOAK)
    list(APPEND props LABELS soak)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES ${props})
endfunction()
