# The Windows build (included from the top-level CMakeLists.txt when WIN32):
# the Win32 backend library (which also gives the simulator its hidden GL
# window) and the tests that run under Wine.

# libpng's static archive needs zlib after it; the shared-library pkg-config
# entries do not say so.
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
target_link_libraries(zap_graphics PUBLIC PkgConfig::ZLIB)

# The Win32 backend: window and WGL context, message pump, joysticks through
# the multimedia interface, waveOut and DirectSound output. DirectSound itself
# is loaded at run time, so nothing links against dsound.
file(GLOB zap_win32_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/backends/win32/*.cpp)
add_library(zap_win32 STATIC ${zap_win32_srcs})
target_include_directories(zap_win32 PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(zap_win32 PUBLIC zap_graphics zap_audio zap_platform OpenGL::GL winmm gdi32 user32 ole32
                      uuid dxguid)
target_compile_definitions(zap_win32 PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)

# GoogleTest cross-built from Debian's sources, and one test program per test
# folder: the portable layers' tests and tests/backends/win32, the Windows
# backends' own tests. Backend tests live in their backend's folder, so every
# portable test runs here too.
function(zap_win32_tests)
  set(gtest_src /usr/src/googletest)
  if(NOT EXISTS ${gtest_src}/CMakeLists.txt)
    message(WARNING "GoogleTest sources (Debian package googletest) not found: no Windows tests")
    return()
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${gtest_src} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  include(GoogleTest)

  set(env
    "ZAP_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    "ZAP_BINARY_DIR=${CMAKE_BINARY_DIR}")
  set(tests_dir ${CMAKE_SOURCE_DIR}/tests)
  file(GLOB support_srcs CONFIGURE_DEPENDS ${tests_dir}/support/*.cpp)
  add_library(zap_test_support STATIC ${support_srcs})
  target_include_directories(zap_test_support PUBLIC ${tests_dir})
  target_compile_definitions(zap_test_support PUBLIC _USE_MATH_DEFINES) # M_PI and friends in strict mode
  target_link_libraries(zap_test_support PUBLIC zap_sim zap_win32 zap_assets gtest)
  foreach(spec "platform;unit;zap_platform" "graphics;unit;zap_graphics" "audio;unit;zap_audio"
               "game;unit;zap_game;zap_sim"
               "settings;unit;zap_settings" "backends/win32;win32;zap_win32")
    list(POP_FRONT spec dir label)
    file(GLOB srcs CONFIGURE_DEPENDS ${tests_dir}/${dir}/*.cpp)
    if(NOT srcs)
      continue()
    endif()
    string(REPLACE "/" "_" exe "test_${dir}")
    add_executable(${exe} ${srcs})
    target_link_libraries(${exe} PRIVATE ${spec} zap_test_support gtest gtest_main)
    if(dir STREQUAL "audio" AND EXISTS ${ZAP_WIN_PREFIX}/lib/libvorbisenc.a)
      target_link_libraries(${exe} PRIVATE ${ZAP_WIN_PREFIX}/lib/libvorbisenc.a) # tests encode their own Oggs
    endif()
    gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         PROPERTIES LABELS ${label} TIMEOUT 600)
    set(env_script ${CMAKE_CURRENT_BINARY_DIR}/${exe}_environment.cmake)
    file(WRITE ${env_script}
      "if(${exe}_TESTS)\n"
      "  set_tests_properties(\${${exe}_TESTS} PROPERTIES ENVIRONMENT \"${env}\")\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${env_script})
  endforeach()
endfunction()
