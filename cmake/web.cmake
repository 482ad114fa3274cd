# The web build's programs (cmake/emscripten.cmake is its toolchain).
#
# The simulator and the asset embedder are Node.js programs that read and write
# the host's files (-sNODERAWFS=1), take the command line and return its exit
# status. The simulator draws nothing (no GL under Node.js) and its virtual
# audio device mixes on the game's thread, so there are no threads.
#
# The game is the browser page's program: index.html loads zaptomania.js,
# which loads zaptomania.wasm; the fifteen files are compiled in, so nothing
# else is fetched. The game's frame loops run as written: Asyncify lets a
# delay or a buffer swap hand control back to the browser and resume there.
set(ZAP_NO_DESKTOP_GL ${CMAKE_SOURCE_DIR}/backends/web/no_desktop_gl.js)
set(ZAP_NODE_LINK_OPTIONS
  -sNODERAWFS=1 -sENVIRONMENT=node -sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1
  "SHELL:--pre-js ${CMAKE_SOURCE_DIR}/backends/web/node_pre.js"
  "SHELL:--js-library ${ZAP_NO_DESKTOP_GL}")
foreach(target zaptomania-sim zap_embedgen)
  if(TARGET ${target})
    target_link_options(${target} PRIVATE ${ZAP_NODE_LINK_OPTIONS})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/backends/web/node_pre.js
                                                               ${ZAP_NO_DESKTOP_GL})
  endif()
endforeach()

if(TARGET zaptomania)
  set(ZAP_PAGE ${CMAKE_SOURCE_DIR}/backends/web/index.html)
  target_link_options(zaptomania PRIVATE
    -sENVIRONMENT=web -sALLOW_MEMORY_GROWTH=1 -sUSE_SDL=0
    # Sleeping inside the frame loops: the unwound stack of a deep frame
    # (screen loop, Flip, the swap) fits in 64 kB.
    -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=65536
    -sMIN_WEBGL_VERSION=1 -sMAX_WEBGL_VERSION=1
    # What the page calls: the state query, and text from the game's handlers.
    -sEXPORTED_FUNCTIONS=_main,_zap_state -sEXPORTED_RUNTIME_METHODS=UTF8ToString
    # What SDL's JavaScript for sound calls (backends/web/page_lib.js).
    -sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=zap_page_runtime
    "SHELL:--js-library ${CMAKE_SOURCE_DIR}/backends/web/page_lib.js"
    "SHELL:--js-library ${ZAP_NO_DESKTOP_GL}")
  set_property(TARGET zaptomania APPEND PROPERTY LINK_DEPENDS ${ZAP_NO_DESKTOP_GL}
                                                              ${CMAKE_SOURCE_DIR}/backends/web/page_lib.js)
  # The page beside the program.
  add_custom_command(TARGET zaptomania POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ZAP_PAGE} ${CMAKE_BINARY_DIR}/index.html
    COMMENT "The page: index.html")
endif()
