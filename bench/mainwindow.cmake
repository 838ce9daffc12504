# The configurator with a six-board configuration open: its peak memory and,
# for scripts/screenshots, a picture of the main window.
if(TARGET brk_app)
    add_executable(mainwindow_shot ${CMAKE_CURRENT_LIST_DIR}/mainwindow_shot.cpp)
    target_link_libraries(mainwindow_shot PRIVATE brk_app)
endif()
