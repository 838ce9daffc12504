# Time to build the tree of a six-board module, and the peak memory with it open.
if(TARGET brk_app)
    add_executable(moduleview_build ${CMAKE_CURRENT_LIST_DIR}/moduleview_build.cpp)
    target_link_libraries(moduleview_build PRIVATE brk_app)
endif()
