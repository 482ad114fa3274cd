# The link check of the layers: every portable library is linked once more as
# a shared library with -Wl,--no-undefined against only its own link interface
# (the layers below it and third-party libraries). A call into a higher layer
# or into a backend is then an undefined symbol and the build fails.
#
# The static libraries are compiled as position-independent code for this;
# -fno-semantic-interposition keeps the code the compiler makes as without it.
option(ZAP_LAYER_LINK_CHECK "Link each portable library on its own to catch calls that climb a layer" ON)
if(ZAP_SANITIZE OR ZAP_TSAN OR ZAP_FUZZ OR WIN32 OR EMSCRIPTEN)
  # The sanitizer runtimes are only linked into executables, and the layers are
  # the same on every system: one check, on the plain Linux build, is enough.
  set(ZAP_LAYER_LINK_CHECK OFF)
endif()

if(ZAP_LAYER_LINK_CHECK)
  foreach(lib zap_platform zap_graphics zap_audio zap_game zap_sim zap_settings)
    set_target_properties(${lib} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(${lib} PRIVATE -fno-semantic-interposition)
    endif()
    add_library(${lib}_layercheck SHARED ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
    target_link_libraries(${lib}_layercheck PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${lib}>")
    target_link_options(${lib}_layercheck PRIVATE -Wl,--no-undefined)
  endforeach()
endif()
