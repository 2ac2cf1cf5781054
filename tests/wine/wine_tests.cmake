# Wine end-to-end cases (CTest label "wine") for the win32 build.
#
# include() this file from the win32 (MinGW i686) configuration after the library's target exists:
#
#   enable_testing()
#   include(tests/wine/wine_tests.cmake)
#   lx_add_wine_case(accept_standard ${dat}/good.dat
#     OPTIONS --answer accept --report
#     EXPECT "^result: 1$" "^dllreturn: \"1\"$" "^layout: ok$" "^frame-variant: standard$")
#
# Cache variables (override on the command line or before the include):
#   LX_WINE_DLL        the library under test        (default: $<TARGET_FILE:lxagree>)
#   LX_WINE_SETUPHOST  the setuphost.exe to run      (default: $<TARGET_FILE:setuphost>)
# The target setuphost is defined here unless the project defined one before.
#
# A fixture pair prepares and stops the environment: wine.setup creates a fresh 32-bit prefix in
# ${CMAKE_BINARY_DIR}/wine-e2e and starts Xvfb, wine.cleanup stops Xvfb and the wineserver.  All
# cases share that prefix and its C:\windows\license.dat, so they hold one RESOURCE_LOCK and run
# one after another even under ctest -j.  Per-case output and screenshots (PNG) are kept in
# ${CMAKE_BINARY_DIR}/wine-e2e/cases/<name>/.
#
#   ctest -L wine --output-on-failure

set(LX_WINE_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}")
set(LX_WINE_DIR "${CMAKE_BINARY_DIR}/wine-e2e")
set(LX_WINE_DLL "$<TARGET_FILE:lxagree>" CACHE STRING "Library the Wine cases load")
set(LX_WINE_SETUPHOST "$<TARGET_FILE:setuphost>" CACHE STRING "setuphost.exe the Wine cases run")

if(NOT TARGET setuphost)
  add_executable(setuphost "${CMAKE_CURRENT_LIST_DIR}/../../tools/setuphost/setuphost.cpp")
  target_compile_features(setuphost PRIVATE cxx_std_17)
  target_compile_options(setuphost PRIVATE -Wall -Wextra)
  target_link_libraries(setuphost PRIVATE user32 gdi32 kernel32)
  target_link_options(setuphost PRIVATE -static -static-libgcc -static-libstdc++)
endif()

add_test(NAME wine.setup COMMAND bash "${LX_WINE_SCRIPTS}/wine_fixture_setup.sh")
add_test(NAME wine.cleanup COMMAND bash "${LX_WINE_SCRIPTS}/wine_fixture_cleanup.sh")
set_tests_properties(wine.setup PROPERTIES FIXTURES_SETUP lx_wine)
set_tests_properties(wine.cleanup PROPERTIES FIXTURES_CLEANUP lx_wine)
set_tests_properties(wine.setup wine.cleanup PROPERTIES
  LABELS wine
  RESOURCE_LOCK lx_wine_prefix
  ENVIRONMENT "LX_WINE_DIR=${LX_WINE_DIR}"
  TIMEOUT 300)

# lx_add_wine_case(NAME LICENSE_FILE [OPTIONS setuphost-option...] [EXPECT pattern...])
#   LICENSE_FILE  file placed as C:\windows\license.dat, or --missing for none
#   OPTIONS       setuphost options (--param, --answer, --report, --measure, ...)
#   EXPECT        extended regular expressions every one of which some output line must match;
#                 a leading "!" means no line may match.  Exit code 0 is required unless a
#                 pattern mentions exit-code.  Patterns must not contain ";" (CMake lists).
function(lx_add_wine_case NAME LICENSE_FILE)
  cmake_parse_arguments(PARSE_ARGV 2 ARG "" "" "OPTIONS;EXPECT")
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "lx_add_wine_case(${NAME}): unexpected ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  add_test(NAME wine.${NAME}
    COMMAND bash "${LX_WINE_SCRIPTS}/run_case.sh" ${NAME} ${LICENSE_FILE} ${ARG_OPTIONS}
            -- ${ARG_EXPECT})
  set_tests_properties(wine.${NAME} PROPERTIES
    FIXTURES_REQUIRED lx_wine
    LABELS wine
    RESOURCE_LOCK lx_wine_prefix
    ENVIRONMENT "LX_WINE_DIR=${LX_WINE_DIR};LX_SETUPHOST=${LX_WINE_SETUPHOST};LX_DLL=${LX_WINE_DLL}"
    TIMEOUT 120)
endfunction()
