# The web build's programs (cmake/emscripten.cmake is its toolchain). So far:
# the simulator and the asset embedder as Node.js programs that read and write
# the host's files (-sNODERAWFS=1), take the command line and return its exit
# status. The simulator draws nothing (no GL under Node.js) and its virtual
# audio device mixes on the game's thread, so there are no threads.
set(ZAP_NODE_LINK_OPTIONS
  -sNODERAWFS=1 -sENVIRONMENT=node -sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1
  "SHELL:--pre-js ${CMAKE_SOURCE_DIR}/backends/web/node_pre.js"
  "SHELL:--js-library ${CMAKE_SOURCE_DIR}/backends/web/node_no_gl.js")
foreach(target zaptomania-sim zap_embedgen)
  if(TARGET ${target})
    target_link_options(${target} PRIVATE ${ZAP_NODE_LINK_OPTIONS})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/backends/web/node_pre.js
                                                               ${CMAKE_SOURCE_DIR}/backends/web/node_no_gl.js)
  endif()
endforeach()
